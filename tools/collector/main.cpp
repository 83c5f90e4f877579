// qv-test-collector: the test collector as a command, for trying uploads from a shell.
//
//   qv-test-collector [--port N] [--port-file FILE] [--records FILE] [--tls CERT KEY]
//                     [--status CODE] [--delay-ms MS] [--drop] [--quiet]
//
// Listens on 127.0.0.1 (port 0 or none: a free port), prints "listening <base URL>" on standard
// output, one line per upload after that, and appends every kept record to --records as one
// JSON line. The fault options set the starting mode; the /_collector/... control paths change
// it while it runs. Ends with exit status 0 on SIGINT or SIGTERM (on Windows: Ctrl+C, Ctrl+Break
// or the console closing). --tls is refused on Windows, whose build has no TLS library.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>

#include "tools/collector/StopRequest.h"
#include "tools/collector/TestCollector.h"

namespace {

int Usage(const char* why) {
    std::fprintf(stderr,
                 "qv-test-collector: %s\n"
                 "usage: qv-test-collector [--port N] [--port-file FILE] [--records FILE] [--tls CERT KEY]\n"
                 "                         [--status CODE] [--delay-ms MS] [--drop] [--quiet]\n",
                 why);
    return 2;
}

bool ParseInt(const char* text, long lo, long hi, long& out) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < lo || value > hi) return false;
    out = value;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    long port = 0, status = 0, delayMs = -1;
    bool drop = false, quiet = false;
    std::string portFile, recordsFile;
    std::optional<collector::TlsFiles> tls;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port" && hasValue) {
            if (!ParseInt(argv[++i], 0, 65535, port)) return Usage("--port wants 0 to 65535");
        } else if (arg == "--port-file" && hasValue) {
            portFile = argv[++i];
        } else if (arg == "--records" && hasValue) {
            recordsFile = argv[++i];
        } else if (arg == "--tls" && i + 2 < argc) {
            tls = collector::TlsFiles{argv[i + 1], argv[i + 2]};
            i += 2;
        } else if (arg == "--status" && hasValue) {
            if (!ParseInt(argv[++i], 100, 599, status)) return Usage("--status wants 100 to 599");
        } else if (arg == "--delay-ms" && hasValue) {
            if (!ParseInt(argv[++i], 0, 3600000, delayMs)) return Usage("--delay-ms wants 0 to 3600000");
        } else if (arg == "--drop") {
            drop = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else {
            return Usage(("unknown or incomplete option " + arg).c_str());
        }
    }

    // Before the collector starts its threads, so the stop request reaches this one.
    collector::StopRequest stopRequest;

    std::ofstream records;
    if (!recordsFile.empty()) {
        records.open(recordsFile, std::ios::app | std::ios::binary);
        if (!records) return Usage(("cannot open " + recordsFile).c_str());
    }

    collector::TestCollector server;
    if (records.is_open())
        server.SetRecordSink([&records](const std::string& record) { records << record << '\n' << std::flush; });
    std::mutex outputLock;
    if (!quiet)
        server.SetLog([&outputLock](const std::string& line) {
            std::lock_guard lock(outputLock);
            std::cout << line << std::endl;
        });
    if (drop) server.DropConnections();
    else if (delayMs >= 0) server.DelayAnswers(std::chrono::milliseconds(delayMs));
    else if (status != 0) server.AnswerStatus(static_cast<int>(status));

    std::string error;
    if (!server.Start(static_cast<std::uint16_t>(port), tls, &error)) {
        std::fprintf(stderr, "qv-test-collector: %s\n", error.c_str());
        return 1;
    }
    if (!portFile.empty()) {
        // "PORT\n" on every system (binary: no carriage return on Windows), written whole under a
        // temporary name so a reader never sees a partial number; the filesystem rename replaces
        // an old file on every system (std::rename does not on Windows).
        const std::filesystem::path temp = portFile + ".tmp";
        std::error_code renamed;
        const bool written = static_cast<bool>(std::ofstream(temp, std::ios::binary) << server.Port() << '\n' << std::flush);
        if (written) std::filesystem::rename(temp, portFile, renamed);
        if (!written || renamed) {
            std::fprintf(stderr, "qv-test-collector: cannot write %s\n", portFile.c_str());
            server.Stop();
            return 1;
        }
    }
    {
        std::lock_guard lock(outputLock);
        std::cout << "listening " << server.BaseUrl() << std::endl;
    }

    const bool requested = stopRequest.Wait();
    server.Stop();
    if (!requested) {
        std::fprintf(stderr, "qv-test-collector: cannot wait for a stop request\n");
        return 1;
    }
    return 0;
}
