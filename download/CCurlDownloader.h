#pragma once
// The single-connection downloader: one CurlClient, retried within a budget of 6 (see
// RetryBudget), on a worker thread named "ABDEF". When the final address names a digest
// ("/<md5>/<file name>") the client checks the file against it before it becomes the target.
//
// Threads: Start() and destruction run on the owner's thread; the worker runs the whole download
// and raises every event. Start() must not be called from inside one of this downloader's own
// events (it waits for that very worker).
#include <memory>
#include <string>

#include "download/CDownloader.h"
#include "download/CurlClient.h"
#include "download/StopSignal.h"
#include "utils/Thread.h"

class CCurlDownloader : public CDownloader {
public:
    static constexpr int kRetryBudget = 6;
    static constexpr int kRetryPauseMs = 500;

    // Copies the callback and strings, builds the client, and removes "<target>.part" left by an
    // earlier run of the program.
    CCurlDownloader(DownloadCallback callback, std::wstring url, std::wstring targetPath);
    // Cancels a running transfer, waits for the worker (which then raises no further event) and
    // removes the partial file.
    ~CCurlDownloader() override;

    // Waits for an earlier worker to end, then starts a new one and returns.
    void Start() override;

    // For tests: the client's stall limit (seconds below 1 byte/s before an attempt fails).
    void SetStallSeconds(long seconds) { client_.SetStallSeconds(seconds); }

    // The worker: the whole run with its retries.
    static unsigned dlThreadFun(void* self);

private:
    static void ProgressHook(void* owner, double speed, double percent);
    void Raise(int32_t code, double value, const wchar_t* text);

    DownloadCallback callback_;
    std::wstring targetPath_;
    std::wstring url_;
    CurlClient client_;
    std::unique_ptr<Utils::Thread> worker_;
    Download::StopSignal stop_;
};
