#pragma once
// One downloader of any of the three kinds, driven as its owner drives it, for the tests that
// hold every downloader to the same promise.
#include <chrono>
#include <memory>
#include <string>

#include "download/CCurlDownloader.h"
#include "download/CMTCurlDownloader.h"
#include "download/CWinDownloader.h"
#include "tests/download/DownloadTestSupport.h"

namespace DownloadTest {

enum class Kind { Single, Multi, UrlMoniker };

inline const char* Name(Kind kind) {
    switch (kind) {
        case Kind::Single: return "single-connection";
        case Kind::Multi: return "multi-connection";
        case Kind::UrlMoniker: return "URL moniker";
    }
    return "";
}

// A downloader of one kind with its events; 1005 is answered with a new start, as the owner does.
struct AnyDownload {
    AnyDownload(Kind kind, const std::string& url, const std::string& target) {
        events.onEvent = [this](const Event& e) {
            if (e.code == DL_CODE_RETRY) downloader->Start();
        };
        switch (kind) {
            case Kind::Single:
                downloader = std::make_unique<CCurlDownloader>(events.Callback(), Wide(url), Wide(target));
                break;
            case Kind::Multi:
                downloader = std::make_unique<CMTCurlDownloader>(events.Callback(), Wide(url), Wide(target));
                break;
            case Kind::UrlMoniker:
                downloader = std::make_unique<CWinDownloader>(events.Callback(), Wide(url), Wide(target));
                break;
        }
    }
    bool Run() {
        downloader->Start();
        return events.WaitFinal(std::chrono::seconds(90));
    }
    EventLog events;
    std::unique_ptr<CDownloader> downloader;
};

}  // namespace DownloadTest
