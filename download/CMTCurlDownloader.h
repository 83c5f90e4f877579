#pragma once
// The multi-connection downloader: learns the final address and length with a header request
// (whose connection the first part then reuses), fetches at most two byte ranges into part files
// ("<target>_0", "<target>_1") on threads of their own, joins them into the target and checks the
// MD5 digest named by the address ("/<md5>/<file name>"). The first failed run asks the owner to
// start again (1005) and reuses the part files; the second is final (1004) and removes them. A
// server that ignores ranges (answers 200 with the whole file) is served by one connection from
// byte 0 instead.
//
// Threads: Start() runs on the owner's thread (or inside this downloader's 1005 event); each run
// works on a worker thread named "ABDEF", one thread per part and a finisher that raises the
// final event. The digest is computed on a further thread while the parts arrive.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "download/CDownloader.h"
#include "download/CurlSupport.h"
#include "download/DownloadPartNode.h"
#include "download/StopSignal.h"
#include "download/StreamingDigest.h"
#include "utils/Thread.h"

class CMTCurlDownloader : public CDownloader {
public:
    static constexpr int64_t kPartUnit = 10485760;  // one part below 2 units, two from there on
    static constexpr int64_t kMinLength = 256;
    static constexpr int kPartRetryBudget = 12;
    static constexpr int kPartRetryPauseMs = 400;
    static constexpr long kStallSeconds = 5;  // below 1 byte/s for this long: code 28

    // Copies the arguments and removes the target file and the part files 0 and 1. `curlReady`
    // tells whether libcurl's global initialisation succeeded at start-up; without it every run
    // fails at once.
    CMTCurlDownloader(DownloadCallback callback, std::wstring url, std::wstring targetPath, bool curlReady = true);
    // Cancels the transfers and waits for every thread of the run, then removes the part files;
    // raises nothing more.
    ~CMTCurlDownloader() override;

    void Start() override;

    // The byte ranges [first, last] of a resource of `length` bytes.
    static std::vector<std::pair<int64_t, int64_t>> SplitParts(int64_t length);
    // The text between the last two "/" of an address; "" with fewer than two "/".
    static std::string DigestFromUrl(const std::string& effectiveUrl);
    static std::string PartPath(const std::string& narrowTarget, int index);

    // One run: the worker.
    static unsigned Start_Down(void* self);

private:
    void PrepareRun();
    std::unique_ptr<DownloadPartNode> MakePart(const std::string& target, int index, int64_t first, int64_t last);
    int AwaitParts();
    int FetchWithOneConnection(const std::string& target);
    bool getRealDownloadUrl(const std::string& url);
    static void downloadThreadFun(CMTCurlDownloader* self, DownloadPartNode* part);
    int downloadExe(DownloadPartNode* part);
    static size_t PartWriter(char* data, size_t size, size_t count, void* part);
    static size_t PartHeader(char* data, size_t size, size_t count, void* part);
    static int ProgressAggregator(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    // The finisher: waits for the parts, joins them, checks the digest, raises the final event.
    void waitForFinishThreadFun();
    bool DigestMismatch(const std::string& target);
    void DiscardParts();
    void RemovePartFiles(const std::string& narrowTarget);
    void Raise(int32_t code, double value, const wchar_t* text);
    double LastReportedPercent();
    void SetLastReportedPercent(double percent);

    std::vector<std::unique_ptr<DownloadPartNode>> parts_;
    DownloadCallback callback_;
    std::wstring targetPath_;
    std::wstring url_;
    bool curlReady_;
    std::string effectiveUrl_;
    int64_t length_ = -1;
    std::string expectedDigest_;
    double lastReportedPercent_ = 0.0;  // guarded by progressMutex_
    std::atomic<int> runningParts_{0};
    std::atomic<int64_t> lastProgressTime_{0};
    bool retried_ = false;
    // The server answered a partial range with the whole file: from then on one connection.
    std::atomic<bool> rangeIgnored_{false};
    std::unique_ptr<Utils::Thread> worker_;
    // The handle of the last usable header request until the first part takes it over.
    Download::CurlEasy headHandle_;

    std::mutex progressMutex_;
    std::thread finisher_;                   // joined by the next run's worker or destruction
    std::unique_ptr<Download::StreamingDigest> digest_;
    Download::StopSignal stop_;
};
