#include "download/CWinDownloader.h"

#include <algorithm>

#include "download/FileOps.h"
#include "download/UrlDigest.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

using namespace UrlMoniker;

CWinDownloader::CBindCallback::~CBindCallback() {
    Cancel();
    callback_ = nullptr;
}

void CWinDownloader::CBindCallback::SetCallback(const DownloadCallback& callback) { callback_ = callback; }

void CWinDownloader::CBindCallback::Cancel() {
    cancelled_.store(true);
    std::lock_guard lock(bindingMutex_);
    if (binding_) binding_->Abort();
}

UrlMoniker::HRESULT CWinDownloader::CBindCallback::QueryInterface(const void*, void**) { return kE_NOTIMPL; }

UrlMoniker::HRESULT CWinDownloader::CBindCallback::OnStartBinding(uint32_t, IBinding* binding) {
    redirectedUrl_.clear();
    storedBody_.Reset();
    std::lock_guard lock(bindingMutex_);
    binding_ = binding;
    if (cancelled_.load() && binding_) binding_->Abort();
    return kE_NOTIMPL;
}

UrlMoniker::HRESULT CWinDownloader::CBindCallback::GetPriority(int32_t*) { return kE_NOTIMPL; }
UrlMoniker::HRESULT CWinDownloader::CBindCallback::OnLowResource(uint32_t) { return kE_NOTIMPL; }

UrlMoniker::HRESULT CWinDownloader::CBindCallback::OnProgress(uint64_t progress, uint64_t progressMax, uint32_t statusCode,
                                                  const wchar_t* statusText) {
    if (cancelled_.load()) return kE_ABORT;
    if (statusCode == BINDSTATUS_REDIRECTING && statusText) redirectedUrl_ = statusText;
    if (progressMax == 0) return kS_OK;
    // A service that announces less than it delivers must not show more than the whole.
    if (callback_)
        callback_(DL_CODE_PROGRESS, std::min(1.0, static_cast<double>(progress) / static_cast<double>(progressMax)),
                  L"");
    return kS_OK;
}

UrlMoniker::HRESULT CWinDownloader::CBindCallback::OnStopBinding(HRESULT, const wchar_t*) {
    // The binding ends with this call: it must not be aborted afterwards.
    std::lock_guard lock(bindingMutex_);
    binding_ = nullptr;
    return kE_NOTIMPL;
}

UrlMoniker::HRESULT CWinDownloader::CBindCallback::GetBindInfo(uint32_t*, BindInfo* info) {
    if (info) info->codePage = Utils::kCodePageUtf8;
    return kE_NOTIMPL;
}

UrlMoniker::HRESULT CWinDownloader::CBindCallback::OnDataAvailable(uint32_t, uint64_t size, void* format, void* medium) {
    // Anything but plain bytes (a system's storage medium) says nothing about the file.
    if (format || !medium) {
        storedBody_.Invalidate();
        return kS_OK;
    }
    storedBody_.Add(storedBody_.Hashed(), medium, static_cast<size_t>(size));
    return kS_OK;
}
UrlMoniker::HRESULT CWinDownloader::CBindCallback::OnObjectAvailable(const void*, void*) { return kE_NOTIMPL; }
UrlMoniker::HRESULT CWinDownloader::CBindCallback::GetBindInfoEx(uint32_t*, BindInfo*, uint32_t*, uint32_t*) {
    return kE_NOTIMPL;
}

CWinDownloader::CWinDownloader(DownloadCallback callback, std::wstring url, std::wstring targetPath)
    : callback_(std::move(callback)), targetPath_(std::move(targetPath)), url_(std::move(url)) {
    worker_ = std::make_unique<Utils::Thread>(this, L"ABDEF", &CWinDownloader::WorkerFun);
}

CWinDownloader::~CWinDownloader() {
    stop_.Raise();
    bindCallback_.Cancel();
    worker_.reset();  // joins; a worker never resumed ends without running
}

void CWinDownloader::Start() {
    if (!worker_ || !worker_->HasHandle()) return;
    // Only the first start may touch the bind callback: later ones find the worker running.
    if (started_.exchange(true)) return;
    bindCallback_.SetCallback(callback_);
    worker_->Resume();
}

std::wstring CWinDownloader::PrepareUrl(const std::wstring& url) {
    if (url.rfind(L"file:///", 0) == 0) return url;
    static const char kHex[] = "0123456789ABCDEF";
    std::wstring escaped;
    for (unsigned char byte : Utils::ToUtf8(url)) {
        if (byte >= 33 && byte <= 126) {
            escaped += static_cast<wchar_t>(byte);
        } else if (byte == ' ') {
            escaped += L'+';
        } else {
            escaped += L'%';
            escaped += static_cast<wchar_t>(kHex[byte >> 4]);
            escaped += static_cast<wchar_t>(kHex[byte & 0x0F]);
        }
    }
    return escaped;
}

unsigned CWinDownloader::WorkerFun(void* self) {
    static_cast<CWinDownloader*>(self)->Run();
    return 0;
}

void CWinDownloader::Run() {
    if (bindCallback_.Cancelled()) return;
    callback_(DL_CODE_START, 1.0, L"");
    if (targetPath_.empty()) {
        // Nothing can be written anywhere: the run ends here, the owner treats 1004 as final.
        callback_(DL_CODE_FAIL, 1.0, L"");
        return;
    }
    const std::wstring url = PrepareUrl(url_);
    UrlMoniker::HRESULT result = kE_FAIL;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        result = URLDownloadToFile(nullptr, url, targetPath_, 0, &bindCallback_);
        if (bindCallback_.Cancelled()) return;
        if (result == kS_OK && !DigestMatches(url)) result = kTRUST_E_BAD_DIGEST;
        if (result == kS_OK) {
            callback_(DL_CODE_SUCCESS, 0.0, kEngineUrlMoniker);
            return;
        }
        if (!stop_.WaitFor(kRetryPauseMs)) return;
    }
    callback_(DL_CODE_FAIL, static_cast<double>(result), kEngineUrlMoniker);
}

bool CWinDownloader::DigestMatches(const std::wstring& requestedUrl) {
    const std::wstring& redirected = bindCallback_.RedirectedUrl();
    const std::string finalUrl = Utils::ToUtf8(redirected.empty() ? requestedUrl : redirected);
    const std::string target = Download::NarrowPath(targetPath_);
    if (Download::CheckWrittenDigest(finalUrl, target, bindCallback_.StoredBody()) != Download::DigestCheck::Mismatch)
        return true;
    QLOG(L"md5 check failed: %S\r\n", finalUrl.c_str());
    Utils::RemoveFile(target);
    return false;
}
