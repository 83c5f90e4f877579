#include "download/CCurlDownloader.h"

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
    stop_.Raise();
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

void CCurlDownloader::Raise(int32_t code, double value, const wchar_t* text) {
    if (!stop_.IsRaised()) callback_(code, value, text);
}

unsigned CCurlDownloader::dlThreadFun(void* raw) {
    auto* self = static_cast<CCurlDownloader*>(raw);
    self->Raise(DL_CODE_START, 1.0, L"");
    if (self->targetPath_.empty()) {
        // Nothing can be written anywhere: the run ends here, the owner treats 1004 as final.
        self->Raise(DL_CODE_FAIL, 1.0, L"");
        return 0;
    }
    RetryBudget budget(kRetryBudget);
    int code = self->client_.Start();
    while (code != 0) {
        if (self->stop_.IsRaised()) return 0;
        if (!budget.Charge(code)) {
            self->Raise(DL_CODE_FAIL, static_cast<double>(code), kEngineLibCurl);
            return 0;
        }
        QLOG(L"CurlDownLoader Code=%d\r\n", code);
        if (!self->stop_.WaitFor(kRetryPauseMs)) return 0;
        code = self->client_.Start();
    }
    self->Raise(DL_CODE_SUCCESS, 0.0, kEngineLibCurl);
    return 0;
}

void CCurlDownloader::ProgressHook(void* owner, double speed, double percent) {
    auto* self = static_cast<CCurlDownloader*>(owner);
    if (speed > 0) self->Raise(DL_CODE_PROGRESS, percent / 100.0, L"");
}
