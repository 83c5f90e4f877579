// Records per second from Sdk::Track through Sdk::Flush (FlushAll) to the local test collector,
// and the peak memory of the process, for a number of records (default 10,000).
//
// Reference: the same number of upload requests, with bodies encoded in advance, posted by bare
// libcurl to the same collector. It is the transport's floor: the gap to it is what the core
// adds (record building, queueing, gzip level 9, base64, percent encoding, one handle per request).
//
// Records are flushed every 1,000 so the queue (capacity 1,024) never drops one.
#include <curl/curl.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "analytics/core/Sdk.h"
#include "analytics/core/UploadEncoding.h"
#include "tools/collector/TestCollector.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::size_t Discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

}  // namespace

int main(int argc, char** argv) {
    const int total = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (total <= 0) {
        std::fprintf(stderr, "usage: qv_bench_collect [records]\n");
        return 2;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    collector::TestCollector server;
    std::string error;
    if (!server.Start(0, std::nullopt, &error)) {
        std::fprintf(stderr, "collector: %s\n", error.c_str());
        return 1;
    }
    const long rssBefore = PeakRssKiB();

    collect::Sdk::Init("", server.Url(), "bench-device-0001", false);
    collect::PropertiesNode super;
    super.SetString("vn_sdk", "WindowsCPP");
    super.SetString("vn_app_version", "1.1.0");
    collect::Sdk::RegisterSuperProperties(super);

    Clock::duration trackTime{}, flushTime{};
    bool ok = true;
    for (int done = 0; done < total;) {
        const int chunk = std::min(1000, total - done);
        const auto t0 = Clock::now();
        for (int i = 0; i < chunk; ++i) {
            collect::PropertiesNode p;
            p.SetString("vn_task", "download");
            p.SetString("vn_result", "Success");
            p.SetNumber("vn_elapsed", 12.5 + i);
            p.SetNumber("vn_seq", done + i);
            p.SetString("vnc_ab", "B");
            collect::Sdk::Track("VnEventTask", p);
        }
        const auto t1 = Clock::now();
        ok = collect::Sdk::Flush() && ok;
        flushTime += Clock::now() - t1;
        trackTime += t1 - t0;
        done += chunk;
    }
    collect::Sdk::Shutdown();
    const double ourSeconds = Seconds(trackTime + flushTime);
    const long rssPeak = PeakRssKiB();
    const std::size_t received = server.RecordCount();

    // Reference: the same requests, pre-encoded, through bare libcurl.
    std::vector<std::string> bodies;
    for (const auto& request : server.Requests()) bodies.push_back(request.body);
    const auto r0 = Clock::now();
    for (const std::string& body : bodies) {
        CURL* curl = curl_easy_init();
        curl_easy_setopt(curl, CURLOPT_URL, server.Url().c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Discard);
        ok = curl_easy_perform(curl) == CURLE_OK && ok;
        curl_easy_cleanup(curl);
    }
    const double refSeconds = Seconds(Clock::now() - r0);
    server.Stop();
    curl_global_cleanup();

    std::printf("records             %d sent, %zu received in %zu requests\n", total, received, bodies.size());
    std::printf("Track (build+queue) %.3f s  (%.0f records/s)\n", Seconds(trackTime), total / Seconds(trackTime));
    std::printf("Flush (encode+post) %.3f s\n", Seconds(flushTime));
    std::printf("Track -> FlushAll   %.3f s  (%.0f records/s)\n", ourSeconds, total / ourSeconds);
    std::printf("reference: bare libcurl posting the same %zu bodies  %.3f s  (%.0f records/s)\n", bodies.size(),
                refSeconds, received / refSeconds);
    std::printf("peak RSS            %ld KiB (%ld KiB before the run; collector in process)\n", rssPeak, rssBefore);
    if (!ok || received != static_cast<std::size_t>(total)) {
        std::fprintf(stderr, "benchmark run failed: not every record arrived\n");
        return 1;
    }
    return 0;
}
