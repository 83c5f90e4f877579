#include "download/CMTCurlDownloader.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>

#include "download/ContentRange.h"
#include "download/CurlProxy.h"
#include "download/CurlSupport.h"
#include "download/Md5Hash.h"
#include "download/PartJoin.h"
#include "download/RetryBudget.h"
#include "download/UrlDigest.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

using Download::CurlEasy;
using Download::CurlSlist;

CMTCurlDownloader::CMTCurlDownloader(DownloadCallback callback, std::wstring url, std::wstring targetPath,
                                     bool curlReady)
    : callback_(std::move(callback)), targetPath_(std::move(targetPath)), url_(std::move(url)), curlReady_(curlReady) {
    const std::string target = Download::NarrowPath(targetPath_);
    Utils::RemoveFile(target);
    RemovePartFiles(target);
}

CMTCurlDownloader::~CMTCurlDownloader() {
    stop_.Raise();
    worker_.reset();  // joins the run's worker
    if (finisher_.joinable() && finisher_.get_id() != std::this_thread::get_id()) finisher_.join();
    if (finisher_.joinable()) {
        finisher_.detach();  // destroyed from inside its own event
        return;
    }
    // Every thread of the run has ended: a run cut short leaves nothing behind.
    RemovePartFiles(Download::NarrowPath(targetPath_));
}

void CMTCurlDownloader::Start() {
    if (worker_) {
        worker_->Join();
        worker_.reset();
    }
    worker_ = std::make_unique<Utils::Thread>(this, L"ABDEF", &CMTCurlDownloader::Start_Down);
    worker_->Resume();
}

std::vector<std::pair<int64_t, int64_t>> CMTCurlDownloader::SplitParts(int64_t length) {
    std::vector<std::pair<int64_t, int64_t>> ranges;
    if (length <= 0) return ranges;
    int64_t n = length / kPartUnit;
    if (n < 1) n = 1;
    if (n > 2) n = 2;
    const int64_t size = length / n;
    int64_t start = 0;
    for (int64_t i = 0; i < n; ++i) {
        const int64_t partSize = (i == n - 1) ? size + length % n : size;
        ranges.emplace_back(start, start + partSize - 1);
        start += partSize;
    }
    return ranges;
}

std::string CMTCurlDownloader::DigestFromUrl(const std::string& effectiveUrl) {
    return Download::DigestFromUrl(effectiveUrl);
}

std::string CMTCurlDownloader::PartPath(const std::string& narrowTarget, int index) {
    return narrowTarget + "_" + std::to_string(index);
}

void CMTCurlDownloader::RemovePartFiles(const std::string& narrowTarget) {
    Utils::RemoveFile(PartPath(narrowTarget, 0));
    Utils::RemoveFile(PartPath(narrowTarget, 1));
}

void CMTCurlDownloader::Raise(int32_t code, double value, const wchar_t* text) {
    if (!stop_.IsRaised()) callback_(code, value, text);
}

double CMTCurlDownloader::LastReportedPercent() {
    std::lock_guard lock(progressMutex_);
    return lastReportedPercent_;
}

void CMTCurlDownloader::SetLastReportedPercent(double percent) {
    std::lock_guard lock(progressMutex_);
    lastReportedPercent_ = percent;
}

unsigned CMTCurlDownloader::Start_Down(void* raw) {
    auto* self = static_cast<CMTCurlDownloader*>(raw);
    // The previous run's finisher may still be returning from the event that restarted us.
    if (self->finisher_.joinable()) self->finisher_.join();
    self->Raise(DL_CODE_START, 1.0, L"");
    QLOG(L"start download\r\n");
    self->PrepareRun();
    return 0;
}

void CMTCurlDownloader::PrepareRun() {
    const std::string target = Download::NarrowPath(targetPath_);
    if (target.empty()) {
        Raise(DL_CODE_FAIL, 1.0, L"");
        return;
    }
    const std::string url = Download::CurlUrl(url_);

    Utils::RemoveFile(target);
    // A run that made no progress starts from scratch; otherwise the parts are reused.
    if (LastReportedPercent() == 0.0) RemovePartFiles(target);

    if (effectiveUrl_.empty() || length_ < kMinLength) {
        if (!getRealDownloadUrl(url)) {
            RemovePartFiles(target);  // the download ends here: nothing of it stays
            Raise(DL_CODE_FAIL, 0.0, kEngineLibCurl);
            return;
        }
    }

    // A server known to ignore ranges gets one connection for the whole file.
    const auto ranges = rangeIgnored_.load() ? std::vector<std::pair<int64_t, int64_t>>{{0, length_ - 1}}
                                             : SplitParts(length_);
    for (size_t i = 0; i < ranges.size(); ++i)
        parts_.push_back(MakePart(target, static_cast<int>(i), ranges[i].first, ranges[i].second));

    // The digest is computed from the part files while they grow, so that it is ready moments
    // after the last byte instead of after a second pass over the joined file.
    if (expectedDigest_.size() == 32) {
        std::vector<Download::StreamingDigest::Source> sources;
        for (size_t i = 0; i < parts_.size(); ++i)
            sources.push_back({parts_[i]->partPath, ranges[i].second - ranges[i].first + 1, &parts_[i]->fetched});
        digest_ = std::make_unique<Download::StreamingDigest>(std::move(sources));
    }

    bool first = true;
    for (auto& part : parts_) {
        if (part->status != DownloadPartNode::kStatusPending) {
            part->finished.store(true);
            continue;
        }
        // Connections are opened 100 ms apart rather than in one burst.
        if (!first) stop_.WaitFor(100);
        first = false;
        runningParts_.fetch_add(1);
        part->worker = std::thread(&CMTCurlDownloader::downloadThreadFun, this, part.get());
    }
    finisher_ = std::thread(&CMTCurlDownloader::waitForFinishThreadFun, this);
}

std::unique_ptr<DownloadPartNode> CMTCurlDownloader::MakePart(const std::string& target, int index, int64_t first,
                                                              int64_t last) {
    auto part = std::make_unique<DownloadPartNode>();
    part->partPath = PartPath(target, index);
    const int64_t rangeSize = last - first + 1;
    int64_t existing = std::max<int64_t>(Utils::FileSize(part->partPath), 0);
    // A part file longer than its range cannot be a prefix of it.
    if (existing > rangeSize && Utils::RemoveFile(part->partPath)) existing = 0;
    part->fetched.store(existing);
    part->firstOffset = first;
    part->nextOffset = first + existing;
    part->lastOffset = last;
    part->wholeResource = first == 0 && last == length_ - 1;
    part->rangeIgnored = &rangeIgnored_;
    part->url = effectiveUrl_;
    // The first part inherits the header request's handle, and with it the connection that
    // request left open: one connection set-up (a round trip on a WAN) less.
    if (index == 0 && headHandle_) {
        part->handle = std::move(headHandle_);
    } else {
        part->handle.reset(curl_easy_init());
    }
    if (!part->handle || curl_easy_setopt(part->handle.get(), CURLOPT_URL, part->url.c_str()) != CURLE_OK) {
        part->status = CURLE_FAILED_INIT;
    } else if (part->nextOffset > part->lastOffset) {
        part->status = DownloadPartNode::kStatusComplete;
    } else {
        part->partFile = Utils::FileHandle::OpenAppend(part->partPath);
        part->status = part->partFile.IsOpen() ? DownloadPartNode::kStatusPending : DownloadPartNode::kStatusOpenFailed;
    }
    return part;
}

bool CMTCurlDownloader::getRealDownloadUrl(const std::string& url) {
    effectiveUrl_.clear();
    expectedDigest_.clear();
    length_ = 0;
    if (!curlReady_) return false;
    CurlEasy handle(curl_easy_init());
    if (!handle) return false;
    CURL* h = handle.get();
    CurlSlist headers;
    if (!Download::AppendHeader(headers, "Connection: keep-alive")) return false;
    int rc = curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    rc |= curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    rc |= curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_MAXREDIRS, Download::kMaxRedirects);
    rc |= curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    rc |= Download::ApplyTlsTrust(h);  // the package is executed later: the peer must be verified
    rc |= curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Download::DiscardBody);
    rc |= curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 60L);
    rc |= curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, 60L);
    Download::CurlProxy proxy;
    rc |= proxy.Apply(h, url);
    if (rc != CURLE_OK) return false;
    const int performed = curl_easy_perform(h);
    // A proxy refusal (407) is a failure of the request even though libcurl completed it; the
    // status check below then keeps the length at 0.
    if (const std::string text = proxy.FailureText(h, performed); !text.empty()) QLOG(L"%S\r\n", text.c_str());
    if (performed != CURLE_OK) return false;

    char* effective = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective && *effective) {
        effectiveUrl_ = effective;
        QLOG(L"Download File real url %S\r\n", effectiveUrl_.c_str());
        expectedDigest_ = DigestFromUrl(effectiveUrl_);
    }
    curl_off_t contentLength = -1;
    long responseCode = 0;
    if (curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &contentLength) == CURLE_OK &&
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &responseCode) == CURLE_OK && responseCode >= 200 &&
        responseCode <= 399) {
        length_ = static_cast<int64_t>(contentLength);
        QLOG(L"Download File Length %lld\r\n", static_cast<long long>(length_));
    }
    const bool usable = !effectiveUrl_.empty() && length_ >= kMinLength;
    if (usable) {
        curl_easy_reset(h);  // keeps the open connection, drops options that point at locals
        headHandle_ = std::move(handle);
    }
    return usable;
}

void CMTCurlDownloader::downloadThreadFun(CMTCurlDownloader* self, DownloadPartNode* part) {
    int code = self->downloadExe(part);
    RetryBudget budget(kPartRetryBudget);
    // Once the server is known to ignore ranges, the parts give way to one connection.
    auto superseded = [&] { return !part->wholeResource && self->rangeIgnored_.load(); };
    while (code != 0 && budget.HasLeft() && !self->stop_.IsRaised() && !superseded()) {
        QLOG(L"CurlDownLoader Code=%d\r\n", code);
        if (!self->stop_.WaitFor(kPartRetryPauseMs)) break;
        budget.Charge(code);
        code = self->downloadExe(part);
    }
    part->partFile.Close();
    self->runningParts_.fetch_sub(1);
    part->finished.store(true, std::memory_order_release);
}

int CMTCurlDownloader::downloadExe(DownloadPartNode* part) {
    // A range completed by an earlier attempt (whose body ran past it) needs no request.
    if (part->nextOffset > part->lastOffset) {
        part->partFile.Close();
        part->status = DownloadPartNode::kStatusComplete;
        return part->status;
    }
    char range[64];
    std::snprintf(range, sizeof range, "%lld-%lld", static_cast<long long>(part->nextOffset),
                  static_cast<long long>(part->lastOffset));
    part->contentRangeStart = -1;
    part->bodyChecked = false;
    part->rangeRejected = false;

    CURL* h = part->handle.get();
    int rc = curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_URL, part->url.c_str());
    rc |= curl_easy_setopt(h, CURLOPT_TIMEOUT, 0L);
    rc |= curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_MAXREDIRS, Download::kMaxRedirects);
    rc |= curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CMTCurlDownloader::PartWriter);
    rc |= curl_easy_setopt(h, CURLOPT_WRITEDATA, part);
    rc |= curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &CMTCurlDownloader::PartHeader);
    rc |= curl_easy_setopt(h, CURLOPT_HEADERDATA, part);
    rc |= curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    rc |= curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &CMTCurlDownloader::ProgressAggregator);
    rc |= curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    rc |= curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 60L);
    rc |= Download::ApplyTlsTrust(h);
    rc |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    rc |= curl_easy_setopt(h, CURLOPT_BUFFERSIZE, Download::kReceiveBufferBytes);
    rc |= curl_easy_setopt(h, CURLOPT_RANGE, range);
    Download::CurlProxy proxy;
    rc |= proxy.Apply(h, part->url);
    if (rc != CURLE_OK) return rc;

    int code = curl_easy_perform(h);
    if (code != CURLE_OK) {
        if (const std::string text = proxy.FailureText(h, code); !text.empty()) QLOG(L"%S\r\n", text.c_str());
    }
    if (code == CURLE_WRITE_ERROR && part->rangeRejected) code = CURLE_RANGE_ERROR;
    // A body that ended before the range did (a short 206) leaves the rest to the next attempt.
    if (code == CURLE_OK && part->nextOffset <= part->lastOffset) code = CURLE_PARTIAL_FILE;
    if (code != CURLE_OK) {
        QLOG(L"error:%d:%S\r\n", code, Download::CurlErrorText(code));
    } else {
        QLOG(L"curl_easy_cleanup\r\n");
    }
    curl_easy_reset(h);
    if (code == CURLE_OK && !part->partFile.Close()) code = CURLE_WRITE_ERROR;
    part->status = code;
    return code;
}

size_t CMTCurlDownloader::PartHeader(char* data, size_t size, size_t count, void* raw) {
    auto* part = static_cast<DownloadPartNode*>(raw);
    const size_t bytes = size * count;
    const std::string_view line(data, bytes);
    if (line.starts_with("HTTP/")) {
        part->contentRangeStart = -1;  // a new response (after a redirect) starts afresh
    } else if (const int64_t first = Download::ContentRangeStart(line); first >= 0) {
        part->contentRangeStart = first;
    }
    return bytes;
}

size_t CMTCurlDownloader::PartWriter(char* data, size_t size, size_t count, void* raw) {
    auto* part = static_cast<DownloadPartNode*>(raw);
    if (!part || !part->partFile.IsOpen() || part->nextOffset > part->lastOffset) return 0;
    // A part whose server ignores ranges stops: one connection takes over the whole file.
    if (!part->wholeResource && part->rangeIgnored && part->rangeIgnored->load()) return 0;
    if (!part->bodyChecked) {
        // Only a body that starts at the next wanted byte may be appended: a server that ignores
        // the range (200 with the whole file) or answers another one would corrupt the part.
        long status = 0;
        curl_easy_getinfo(part->handle.get(), CURLINFO_RESPONSE_CODE, &status);
        if (status == 200 && part->wholeResource) {
            // The whole file is what this part wants; a resume that got it starts the file again.
            if (part->nextOffset > 0) {
                if (!part->partFile.Truncate(0)) return 0;
                part->restarted.store(true);
                part->nextOffset = 0;
                part->fetched.store(0, std::memory_order_release);
            }
        } else if (status != 206 || part->contentRangeStart != part->nextOffset) {
            if (status == 200 && part->rangeIgnored) part->rangeIgnored->store(true);
            part->rangeRejected = true;
            return 0;
        }
        part->bodyChecked = true;
    }
    const int64_t room = part->lastOffset - part->nextOffset + 1;
    const size_t bytes = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size * count), room));
    if (!part->partFile.WriteAll(data, bytes)) return 0;
    part->nextOffset += static_cast<int64_t>(bytes);
    part->fetched.fetch_add(static_cast<int64_t>(bytes), std::memory_order_release);
    return bytes;
}

int CMTCurlDownloader::ProgressAggregator(void* raw, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* self = static_cast<CMTCurlDownloader*>(raw);
    if (self->stop_.IsRaised()) return 1;  // the downloader is being destroyed
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    int64_t last = self->lastProgressTime_.load();
    if (now < last + 1) return 0;
    if (!self->lastProgressTime_.compare_exchange_strong(last, now)) return 0;  // another part won

    std::lock_guard lock(self->progressMutex_);
    double sum = 0.0;
    if (self->length_ >= kMinLength) {
        for (const auto& part : self->parts_) {
            const int64_t fetched = part->fetched.load(std::memory_order_relaxed);
            if (fetched > 0) sum += static_cast<double>(fetched) * 100.0 / static_cast<double>(self->length_);
        }
    }
    if (sum > 100.0) return 0;
    if (sum - self->lastReportedPercent_ >= 1.0) {
        self->lastReportedPercent_ = sum;
        self->Raise(DL_CODE_PROGRESS, sum / 100.0, L"");
    }
    return 0;
}

// Joins every part thread; the status of the first part that is not complete, else 0.
int CMTCurlDownloader::AwaitParts() {
    for (auto& part : parts_)
        if (part->worker.joinable()) part->worker.join();
    for (const auto& part : parts_)
        if (part->status != DownloadPartNode::kStatusComplete) return part->status;
    return 0;
}

// The server answered a partial range with the whole file: the parts are dropped and the whole
// file is fetched over one connection from byte 0, on the finisher's thread. Returns its status.
int CMTCurlDownloader::FetchWithOneConnection(const std::string& target) {
    QLOG(L"range ignored by the server: one connection from byte 0\r\n");
    DiscardParts();
    RemovePartFiles(target);
    parts_.push_back(MakePart(target, 0, 0, length_ - 1));
    DownloadPartNode* part = parts_.back().get();
    if (part->status != DownloadPartNode::kStatusPending) return part->status;
    runningParts_.fetch_add(1);
    downloadThreadFun(this, part);
    return part->status;
}

void CMTCurlDownloader::waitForFinishThreadFun() {
    const std::string target = Download::NarrowPath(targetPath_);
    PartJoin join(parts_, stop_);
    int joinError = join.CopyWhileArriving();
    int error = AwaitParts();
    if (error != 0 && rangeIgnored_.load() && parts_.size() > 1 && !stop_.IsRaised()) {
        join.Abandon();
        joinError = 0;
        error = FetchWithOneConnection(target);
    }
    if (error == 0 && !stop_.IsRaised()) {
        SetLastReportedPercent(0.0);
        error = joinError != 0 ? joinError : join.Finish(target);
        if (error == 0) {
            for (size_t i = 1; i < parts_.size(); ++i)
                QLOG(L"partPath::%s\r\n", (targetPath_ + L"_" + std::to_wstring(i)).c_str());
            RemovePartFiles(target);
        }
    }
    if (error != 0) join.Abandon();

    if (error == 0 && !stop_.IsRaised()) {
        if (expectedDigest_.size() == 32) {
            if (DigestMismatch(target)) {
                Raise(DL_CODE_VERIFY, 0.0, kVerifyMismatchText);
                Utils::RemoveFile(target);
                DiscardParts();
                if (retried_) {
                    QLOG(L"finish recv, md5 chaek failed and retry failed.\r\n");
                    Raise(DL_CODE_FAIL, 0.0, kEngineLibCurl);
                } else {
                    retried_ = true;
                    QLOG(L"finish recv, md5 chaek failed retry once.\r\n");
                    Raise(DL_CODE_RETRY, 0.0, kEngineLibCurl);
                }
                return;
            }
        } else {
            Raise(DL_CODE_VERIFY, 0.0, kVerifyNoDigestText);
        }
        QLOG(L"finish recv\r\n");
        DiscardParts();
        Raise(DL_CODE_SUCCESS, 0.0, kEngineLibCurl);
        return;
    }

    DiscardParts();
    if (stop_.IsRaised()) return;
    // The parts are kept only for the restart that reuses them.
    if (LastReportedPercent() == 0.0 || retried_) RemovePartFiles(target);
    if (retried_) {
        SetLastReportedPercent(0.0);
        Raise(DL_CODE_FAIL, static_cast<double>(error), kEngineLibCurl);
    } else {
        retried_ = true;
        Raise(DL_CODE_RETRY, static_cast<double>(error), kEngineLibCurl);
    }
}

// A digest that cannot be computed counts as a match, as the address gave no usable check.
bool CMTCurlDownloader::DigestMismatch(const std::string& target) {
    bool restarted = false;
    for (const auto& part : parts_) restarted = restarted || part->restarted.load();
    std::string actual = digest_ && !restarted ? digest_->Finish() : std::string();
    if (actual.size() != 32) actual = Download::FileMd5Hex(target);  // hash the joined file instead
    return actual.size() == 32 && actual != expectedDigest_;
}

void CMTCurlDownloader::DiscardParts() {
    if (digest_) {
        digest_->Cancel();
        digest_.reset();
    }
    parts_.clear();  // releases each handle and closes each part file
}
