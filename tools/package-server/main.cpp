// qv-package-server: serves a folder over HTTP(S) with switchable faults, for tests and demos.
//
//   qv-package-server 8080 ./packages            (the same as --port 8080 --root ./packages)
//   qv-package-server --port 8080 --root ./packages
//   qv-package-server --port 8443 --root ./packages --cert server.pem --key server.key
//                                                (HTTPS: not in the Windows build, which has no TLS)
//
// Faults (all optional, combinable):
//   --drop-after N[:TIMES]       close the connection after N body bytes of a GET
//   --fail-first K               answer 500 to the first K requests
//   --stall-after N:MS[:TIMES]   stop sending for MS milliseconds after N body bytes
//   --ignore-range               answer 200 with the whole file to ranged requests
//   --no-head-length             answer HEAD without Content-Length
//   --gzip                       gzip the body when the request advertises gzip
//   --random-drops P[:SEED]      cut each GET body at a random offset with probability P
//   --host ADDR                  address to listen on (default 127.0.0.1)
//
// A WAN-like link (for benchmarks; see WanLink.h for what is and is not modelled):
//   --rate BYTES_PER_S           body bytes per second over ALL connections together, as one
//                                WAN link carries them (suffixes K, M, G: binary multiples, so
//                                8M is 8 MiB/s); a multi-connection download shares it
//   --latency MS                 round-trip time: added once when a connection is set up and
//                                again before the first byte of every response
// Runs until interrupted (SIGINT / SIGTERM; Ctrl+C on Windows) and prints one line per request.
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tools/package-server/PackageServer.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

int Usage() {
    std::fprintf(stderr,
                 "usage: qv-package-server PORT DIR | --port N --root DIR [--host ADDR] [--cert PEM --key PEM]\n"
                 "       [--drop-after N[:TIMES]] [--fail-first K] [--stall-after N:MS[:TIMES]]\n"
                 "       [--ignore-range] [--no-head-length] [--gzip] [--random-drops P[:SEED]]\n"
                 "       [--rate BYTES_PER_S[K|M|G]] [--latency MS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    PackageServer::Options options;
    std::vector<PackageServer::FaultRule> rules;
    bool omitHeadLength = false, gzip = false;
    double dropProbability = 0;
    unsigned seed = 1;
    int64_t rate = 0;
    int latencyMs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        PackageServer::FaultRule rule;
        if (arg == "--port") {
            options.port = std::atoi(value().c_str());
        } else if (arg == "--root") {
            options.root = value();
        } else if (arg == "--host") {
            options.host = value();
        } else if (arg == "--cert") {
            options.certFile = value();
        } else if (arg == "--key") {
            options.keyFile = value();
        } else if (arg == "--drop-after") {
            long long n = 0;
            int times = -1;
            if (std::sscanf(value().c_str(), "%lld:%d", &n, &times) < 1) return Usage();
            rule.action = PackageServer::FaultRule::Action::Drop;
            rule.afterBytes = n;
            rule.times = times;
            rules.push_back(rule);
        } else if (arg == "--fail-first") {
            rule.action = PackageServer::FaultRule::Action::Status;
            rule.status = 500;
            rule.times = std::atoi(value().c_str());
            rule.method.clear();
            rules.push_back(rule);
        } else if (arg == "--stall-after") {
            long long n = 0;
            int ms = 0, times = -1;
            if (std::sscanf(value().c_str(), "%lld:%d:%d", &n, &ms, &times) < 2) return Usage();
            rule.action = PackageServer::FaultRule::Action::Stall;
            rule.afterBytes = n;
            rule.stallMs = ms;
            rule.times = times;
            rules.push_back(rule);
        } else if (arg == "--ignore-range") {
            rule.action = PackageServer::FaultRule::Action::IgnoreRange;
            rules.push_back(rule);
        } else if (arg == "--no-head-length") {
            omitHeadLength = true;
        } else if (arg == "--gzip") {
            gzip = true;
        } else if (arg == "--random-drops") {
            if (std::sscanf(value().c_str(), "%lf:%u", &dropProbability, &seed) < 1) return Usage();
        } else if (arg == "--rate") {
            if (!PackageServer::WanLink::ParseRate(value(), rate)) return Usage();
        } else if (arg == "--latency") {
            char tail = 0;
            if (std::sscanf(value().c_str(), "%d%c", &latencyMs, &tail) != 1 || latencyMs < 0) return Usage();
        } else if (arg[0] != '-' && i + 1 < argc && options.root.empty() && options.port == 0) {
            options.port = std::atoi(arg.c_str());  // the short form: PORT FOLDER
            options.root = argv[++i];
        } else {
            return Usage();
        }
    }
    if (options.root.empty() || options.port < 0 || options.port > 65535) return Usage();
    if (!options.certFile.empty() && !PackageServer::Server::SupportsTls()) {
        std::fprintf(stderr, "qv-package-server: HTTPS (--cert, --key) is not available in this build: it has no TLS library\n");
        return 2;
    }

    PackageServer::Server server(options);
    for (const auto& rule : rules) server.AddRule(rule);
    server.SetOmitHeadLength(omitHeadLength);
    server.SetGzipWhenAsked(gzip);
    if (dropProbability > 0) server.SetRandomDrops(dropProbability, seed);
    server.SetRate(rate);
    server.SetLatencyMs(latencyMs);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (!server.Start()) {
        std::fprintf(stderr, "qv-package-server: cannot listen on %s:%d (or load the TLS files)\n",
                     options.host.c_str(), options.port);
        return 1;
    }
    std::printf("serving %s on %s", options.root.c_str(), server.BaseUrl().c_str());
    if (rate > 0) std::printf(" at %lld bytes/s", static_cast<long long>(rate));
    if (latencyMs > 0) std::printf(" with %d ms latency", latencyMs);
    std::printf("\n");
    std::fflush(stdout);
    size_t shown = 0;
    while (!g_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto requests = server.Requests();
        for (; shown < requests.size(); ++shown) {
            const auto& r = requests[shown];
            std::printf("%s %s %d%s%s%s\n", r.method.c_str(), r.target.c_str(), r.status,
                        r.range.empty() ? "" : " range=", r.range.c_str(), r.cut ? " (cut)" : "");
        }
        std::fflush(stdout);
    }
    server.Stop();
    return 0;
}
