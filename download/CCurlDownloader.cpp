#include "download/CCurlDownloader.h"

#include <chrono>
#include <thread>

#include "download/FileOps.h"
#include "download/RetryBudget.h"
#include "utils/Log.h"

CCurlDownloader::CCurlDownloader(DownloadCallback callback, std::wstring url, std::wstring targetPath)
    : callback_(std::move(callback)),
      targetPath_(std::move(targetPath)),
      url_(std::move(url)),
      client_(url_, targetPath_, this, &CCurlDownloader::ProgressHook) {
    Utils::RemoveFile(Download::NarrowPath(targetPath_ + L".part"));
}

CCurlDownloader::~CCurlDownloader() {
    stopping_.store(true);
    client_.Cancel();
    worker_.reset();  // joins
}

void CCurlDownloader::Start() {
    if (worker_) {
        worker_->Join();
        worker_.reset();
    }
    worker_ = std::make_unique<Utils::Thread>(this, L"ABDEF", &CCurlDownloader::dlThreadFun);
    worker_->Resume();
}

unsigned CCurlDownloader::dlThreadFun(void* self) {
    static_cast<CCurlDownloader*>(self)->Run();
    return 0;
}

void CCurlDownloader::Run() {
    callback_(DL_CODE_START, 1.0, L"");
    if (targetPath_.empty()) {
        // Nothing can be written anywhere: the run ends here, the owner treats 1004 as final.
        callback_(DL_CODE_FAIL, 1.0, L"");
        return;
    }
    RetryBudget budget(kRetryBudget);
    int code = client_.Start();
    while (code != 0) {
        if (stopping_.load()) return;
        if (!budget.Charge(code)) {
            callback_(DL_CODE_FAIL, static_cast<double>(code), kEngineLibCurl);
            return;
        }
        QLOG(L"CurlDownLoader Code=%d\r\n", code);
        if (!SleepUnlessStopping(kRetryPauseMs)) return;
        code = client_.Start();
    }
    if (stopping_.load()) return;
    callback_(DL_CODE_SUCCESS, 0.0, kEngineLibCurl);
}

bool CCurlDownloader::SleepUnlessStopping(int milliseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        if (stopping_.load()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !stopping_.load();
}

void CCurlDownloader::ProgressHook(void* owner, double speed, double percent) {
    auto* self = static_cast<CCurlDownloader*>(owner);
    if (speed > 0 && !self->stopping_.load()) self->callback_(DL_CODE_PROGRESS, percent / 100.0, L"");
}
