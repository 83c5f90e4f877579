// qv-download-bench: one download with one of the downloaders, timed, for bench.sh.
//   qv-download-bench single|multi|url URL TARGET
// Prints "seconds=<wall time> rss_kb=<peak resident set> code=<final event>" and exits 0 when
// the download succeeded.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/resource.h>

#include "download/CCurlDownloader.h"
#include "download/CMTCurlDownloader.h"
#include "download/CWinDownloader.h"
#include "utils/StringUtils.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: qv-download-bench single|multi|url URL TARGET\n");
        return 2;
    }
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) return 1;
    std::mutex mutex;
    std::condition_variable done;
    int finalCode = 0;
    CDownloader* self = nullptr;
    DownloadCallback callback = [&](int32_t code, double, const wchar_t*) {
        if (code == DL_CODE_RETRY) {
            self->Start();
            return;
        }
        if (code != DL_CODE_SUCCESS && code != DL_CODE_FAIL) return;
        std::lock_guard lock(mutex);
        finalCode = code;
        done.notify_all();
    };
    const std::wstring url = Utils::FromUtf8(argv[2]), target = Utils::FromUtf8(argv[3]);
    std::unique_ptr<CDownloader> downloader;
    if (std::strcmp(argv[1], "single") == 0) {
        downloader = std::make_unique<CCurlDownloader>(callback, url, target);
    } else if (std::strcmp(argv[1], "multi") == 0) {
        downloader = std::make_unique<CMTCurlDownloader>(callback, url, target);
    } else if (std::strcmp(argv[1], "url") == 0) {
        downloader = std::make_unique<CWinDownloader>(callback, url, target);
    } else {
        return 2;
    }
    self = downloader.get();
    const auto begin = std::chrono::steady_clock::now();
    downloader->Start();
    {
        std::unique_lock lock(mutex);
        done.wait(lock, [&] { return finalCode != 0; });
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    downloader.reset();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("seconds=%.3f rss_kb=%ld code=%d\n", seconds, usage.ru_maxrss, finalCode);
    curl_global_cleanup();
    return finalCode == DL_CODE_SUCCESS ? 0 : 1;
}
