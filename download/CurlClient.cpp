#include "download/CurlClient.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "download/CurlProxy.h"
#include "download/UrlDigest.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

using Download::CurlEasy;
using Download::CurlSlist;

CurlClient::CurlClient(std::wstring url, std::wstring targetPath, void* owner, ProgressHook hook)
    : url_(std::move(url)), targetPath_(std::move(targetPath)), owner_(owner), hook_(hook) {}

CurlClient::~CurlClient() {
    Utils::RemoveFile(Download::NarrowPath(PartialPath()));
    cancelled_.store(true);
}

int CurlClient::Start() {
    QLOG(L"start download\r\n");
    const std::string partialPath = Download::NarrowPath(PartialPath());
    const std::string targetPath = Download::NarrowPath(targetPath_);
    const std::string url = Download::CurlUrl(url_);

    // The address and length are learned once and kept; a header request that gave no length
    // is asked again on the next attempt, so one lost request does not doom the download.
    CurlEasy head;
    if (effectiveUrl_.empty() || totalLength_ < 0) {
        head = Head(url);
        if (head && headResult_ == CURLE_OK) {
            char* effective = nullptr;
            if (curl_easy_getinfo(head.get(), CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
                effectiveUrl_ = effective;
            totalLength_ = GetDownloadFileLength(head.get());
        }
    }

    int result;
    if (totalLength_ < 0) {
        result = kErrorUnknownLength;
    } else {
        // The header request's handle carries the body request too: its connection to the final
        // server (or proxy) is still open, which saves a connection set-up, a round trip on a WAN.
        // A reset keeps that connection and clears every option the header request set.
        CurlEasy handle = (head && headResult_ == CURLE_OK) ? std::move(head) : CurlEasy(curl_easy_init());
        if (handle) curl_easy_reset(handle.get());
        if (!handle) {
            result = kErrorNoHandle;
        } else {
            Utils::FileHandle partial = Utils::FileHandle::OpenAppend(partialPath);
            if (!partial.IsOpen()) {
                result = kErrorOpenPartial;
            } else {
                transfer_ = handle.get();
                result = Transfer(partial);
                transfer_ = nullptr;
                if (result == CURLE_OK) result = Finish(partial, partialPath, targetPath);
            }
        }
    }
    QLOG(L"error:%d:%S\r\n", result, Download::CurlErrorText(result));
    // A server that cannot resume makes the kept bytes useless: the next attempt starts over.
    if (result == CURLE_RANGE_ERROR) {
        Utils::RemoveFile(partialPath);
        digest_.Invalidate();
    }
    QLOG(L"end download\r\n");
    return result;
}

int CurlClient::Transfer(Utils::FileHandle& partial) {
    resumeOffset_ = partial.Size();
    // A partial file longer than the resource cannot be a prefix of it.
    if (totalLength_ > 0 && resumeOffset_ > static_cast<int64_t>(totalLength_)) {
        if (!partial.Truncate(0)) return kErrorOpenPartial;
        resumeOffset_ = 0;
    }
    // The digest covers the prefix before any new byte is added to it. A size that cannot be
    // read leaves it untrusted: the check then reads the file.
    hashing_ = Download::DigestFromUrl(effectiveUrl_).size() == 32;
    if (hashing_) {
        if (resumeOffset_ >= 0) digest_.Prime(partial, resumeOffset_);
        else digest_.Invalidate();
    }
    writeOffset_ = resumeOffset_;
    // Everything is already here (an attempt that failed after its last byte): nothing to ask.
    if (totalLength_ > 0 && resumeOffset_ == static_cast<int64_t>(totalLength_)) return CURLE_OK;

    CURL* h = transfer_;
    CurlSlist headers;
    // No Accept-Encoding: the body is stored as it arrives and resume offsets count stored
    // bytes, so an encoding the client does not decode must not be invited.
    if (!Download::AppendHeader(headers, "Connection: keep-alive")) return CURLE_OUT_OF_MEMORY;

    int rc = curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    rc |= curl_easy_setopt(h, CURLOPT_TCP_KEEPALIVE, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_TCP_KEEPIDLE, 10L);
    rc |= curl_easy_setopt(h, CURLOPT_TCP_KEEPINTVL, 10L);
    rc |= curl_easy_setopt(h, CURLOPT_TIMEOUT, 0L);
    rc |= curl_easy_setopt(h, CURLOPT_URL, effectiveUrl_.c_str());
    rc |= curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_MAXREDIRS, Download::kMaxRedirects);
    rc |= curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CurlClient::WritePartial);
    rc |= curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
    rc |= curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    rc |= curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &CurlClient::ProgressCallback);
    rc |= curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    rc |= curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 60L);
    rc |= curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_BUFFERSIZE, Download::kReceiveBufferBytes);
    rc |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, stallSeconds_);
    rc |= Download::ApplyTlsTrust(h);
    Download::CurlProxy proxy;
    rc |= proxy.Apply(h, effectiveUrl_);
    if (resumeOffset_ > 0)
        rc |= curl_easy_setopt(h, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(resumeOffset_));
    if (rc != CURLE_OK) return rc;
    partial_ = &partial;
    const int result = curl_easy_perform(h);
    partial_ = nullptr;
    if (result != CURLE_OK) LogProxyFailure(proxy.FailureText(h, result));
    return result;
}

void CurlClient::LogProxyFailure(const std::string& text) {
    if (!text.empty()) QLOG(L"%S\r\n", text.c_str());
}

int CurlClient::Finish(Utils::FileHandle& partial, const std::string& partialPath, const std::string& targetPath) {
    // A lost write, an old target that stays, or a failed rename is a failure, not a success:
    // the partial file is kept for the next attempt.
    if (!partial.Close()) {
        digest_.Invalidate();
        return kErrorFinish;
    }
    if (Download::CheckWrittenDigest(effectiveUrl_, partialPath, digest_) == Download::DigestCheck::Mismatch) {
        QLOG(L"md5 check failed: %S\r\n", effectiveUrl_.c_str());
        Utils::RemoveFile(partialPath);
        return kErrorDigestMismatch;
    }
    if (!Utils::RemoveFile(targetPath)) return kErrorFinish;
    if (!Utils::RenameFile(partialPath, targetPath)) return kErrorFinish;
    return CURLE_OK;
}

size_t CurlClient::WritePartial(char* data, size_t size, size_t count, void* client) {
    auto* self = static_cast<CurlClient*>(client);
    const size_t bytes = size * count;
    if (!self->partial_->WriteAll(data, bytes)) {
        // Some of the bytes may be on disk: the next attempt hashes the prefix it finds.
        self->digest_.Invalidate();
        return 0;
    }
    if (self->hashing_) self->digest_.Add(self->writeOffset_, data, bytes);
    self->writeOffset_ += static_cast<int64_t>(bytes);
    return bytes;
}

CurlEasy CurlClient::Head(const std::string& url) {
    CurlEasy handle(curl_easy_init());
    if (!handle) {
        QLOG(L"error:%d:%S\r\n", 0, Download::CurlErrorText(0));
        return handle;
    }
    CURL* h = handle.get();
    int rc = curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    rc |= curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_MAXREDIRS, Download::kMaxRedirects);
    rc |= curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Download::DiscardBody);
    rc |= curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 60L);
    rc |= curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, stallSeconds_);
    rc |= Download::ApplyTlsTrust(h);
    Download::CurlProxy proxy;
    rc |= proxy.Apply(h, url);
    if (rc == CURLE_OK) {
        rc = curl_easy_perform(h);
        if (rc != CURLE_OK) QLOG(L"error:%d:%S\r\n", rc, Download::CurlErrorText(rc));
        LogProxyFailure(proxy.FailureText(h, rc));
        // The proxy's refusal page is not the package: its length must not be taken as the
        // package's (a header request does not fail on an HTTP status by itself).
        if (rc == CURLE_OK && Download::CurlProxy::ProxyRefused(h)) rc = CURLE_HTTP_RETURNED_ERROR;
    }
    QLOG(L"error:%d:%S\r\n", rc, Download::CurlErrorText(rc));
    headResult_ = rc;
    return handle;
}

double CurlClient::GetDownloadFileLength(CURL* handle) {
    curl_off_t length = -1;
    CURLcode rc = curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    QLOG(L"error:%d:%S\r\n", static_cast<int>(rc), Download::CurlErrorText(rc));
    return rc == CURLE_OK ? static_cast<double>(length) : -1.0;
}

int CurlClient::ProgressCallback(void* client, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t) {
    auto* self = static_cast<CurlClient*>(client);
    if (self->cancelled_.load()) return 1;
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    if (now < self->lastProgressTime_ + 1) return 0;
    self->lastProgressTime_ = now;

    double speed = 0.0;
    curl_off_t measured = 0;
    if (self->transfer_ && curl_easy_getinfo(self->transfer_, CURLINFO_SPEED_DOWNLOAD_T, &measured) == CURLE_OK)
        speed = static_cast<double>(measured);

    double percent = 0.0;
    if (self->totalLength_ > 0) {
        const double resumed = static_cast<double>(std::max<int64_t>(self->resumeOffset_, 0));
        percent = (static_cast<double>(dlnow) + resumed) / self->totalLength_ * 100.0;
    } else if (dltotal != 0) {
        percent = static_cast<double>(dlnow) * 100.0 / static_cast<double>(dltotal);
    }
    if (self->hook_) self->hook_(self->owner_, speed, percent);
    if (dltotal != 0) {
        QLOG(L" %dM %dM   progress:%f%%  speed:%f \n", static_cast<int>(dlnow / 1048576),
             static_cast<int>(dltotal / 1048576), static_cast<double>(static_cast<float>(percent)),
             static_cast<double>(static_cast<float>(speed / 1024.0)));
    }
    return 0;
}
