#pragma once
// One resumable download of one URL into one file with libcurl.
//
// Start() first asks for the final address and size with a header request, then (on the same
// handle, so on the connection that request left open) appends the body to "<target>.part" and
// renames that file to the target when the transfer succeeds. A failed attempt keeps the partial
// file, and the next Start() resumes from its size. When the final address names a digest
// ("/<md5>/<file name>") the complete file must match it before it becomes the target; a file that
// does not is removed, so the next attempt starts over. The digest is kept while the body is
// written (a resumed file's prefix hashed first), so the check needs no second read of the file;
// when that running digest cannot be trusted the check reads the file instead.
//
// Threads: Start() and ProgressCallback run on the caller's (the downloader's worker) thread.
// Cancel() may be called from any thread. The client must not be destroyed while Start() runs.
#include <atomic>
#include <cstdint>
#include <curl/curl.h>
#include <string>

#include "download/CurlSupport.h"
#include "download/FileOps.h"
#include "download/UrlDigest.h"

class CurlClient {
public:
    // (owner, speed in bytes per second, percent complete), at most once per second.
    using ProgressHook = void (*)(void* owner, double speed, double percent);

    // Results of Start() besides 0 (success) and the positive libcurl codes.
    static constexpr int kErrorDigestMismatch = -994;  // the file differs from the digest the final
                                                       // address names (partial file removed)
    static constexpr int kErrorFinish = -995;         // the finished file could not be flushed or
                                                      // put at the target path (partial file kept)
    static constexpr int kErrorOpenPartial = -996;    // the partial file could not be opened
    static constexpr int kErrorNoHandle = -997;       // no libcurl handle for the body transfer
    static constexpr int kErrorUnknownLength = -998;  // the header request gave no length

    // A transfer that moves less than one byte per second for this long fails with code 28
    // (a stalled server would otherwise hold the download forever).
    static constexpr long kDefaultStallSeconds = 30;

    // Touches no file.
    CurlClient(std::wstring url, std::wstring targetPath, void* owner, ProgressHook hook);
    // Removes the partial file and cancels a transfer still in progress.
    ~CurlClient();
    CurlClient(const CurlClient&) = delete;
    CurlClient& operator=(const CurlClient&) = delete;

    // One attempt: 0, a libcurl code, or one of the codes above.
    int Start();

    // Header request for a narrow URL; the handle after the request, or none when no handle
    // could be created. Its failure shows only as an unknown length: Start() takes neither the
    // address nor the length of a request that failed (the handle then describes whatever
    // response came last, such as one redirect of a chain cut short).
    Download::CurlEasy Head(const std::string& url);
    // The content length libcurl recorded for the handle; -1.0 when it has none.
    static double GetDownloadFileLength(CURL* handle);
    // CURLOPT_XFERINFOFUNCTION of the body transfer; `client` is the CurlClient.
    static int ProgressCallback(void* client, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                                curl_off_t ulnow);

    // Makes the running transfer (and every later one) end at its next progress callback.
    void Cancel() { cancelled_.store(true); }
    void SetStallSeconds(long seconds) { stallSeconds_ = seconds; }

    const std::wstring& TargetPath() const { return targetPath_; }
    std::wstring PartialPath() const { return targetPath_ + L".part"; }
    double TotalLength() const { return totalLength_; }
    int64_t ResumeOffset() const { return resumeOffset_; }
    const std::string& EffectiveUrl() const { return effectiveUrl_; }

private:
    // CURLOPT_WRITEFUNCTION of the body transfer; `client` is the CurlClient.
    static size_t WritePartial(char* data, size_t size, size_t count, void* client);
    int Transfer(Utils::FileHandle& partial);
    // One trace line for a failure the proxy caused (nothing for an empty text).
    static void LogProxyFailure(const std::string& text);
    int Finish(Utils::FileHandle& partial, const std::string& partialPath, const std::string& targetPath);

    std::wstring url_;
    std::wstring targetPath_;
    void* owner_;
    CURL* transfer_ = nullptr;  // the running body transfer (owned by Start() while it runs)
    ProgressHook hook_;
    double totalLength_ = -1.0;
    int64_t resumeOffset_ = -1;
    int64_t lastProgressTime_ = 0;
    std::atomic<bool> cancelled_{false};
    std::string effectiveUrl_;
    int headResult_ = CURLE_OK;  // of the last header request
    long stallSeconds_ = kDefaultStallSeconds;
    // The partial file's digest while the body transfer writes it.
    Download::WrittenDigest digest_;
    Utils::FileHandle* partial_ = nullptr;  // the file the running transfer appends to
    int64_t writeOffset_ = 0;               // where the next body byte lands in it
    bool hashing_ = false;                  // the final address names a digest
};
