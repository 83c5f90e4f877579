#pragma once
// The downloader that hands the whole transfer to the system URL download service
// (UrlMoniker::URLDownloadToFile): three attempts one second apart, progress through a bind
// status callback. It downloads at most once in its life and never raises 1005 or 1006. When the
// final address names a digest ("/<md5>/<file name>") a file that does not match it is removed
// and the attempt counts as failed (kTRUST_E_BAD_DIGEST). Where the service hands the body to
// the bind status callback as it stores it (the Linux one does), the digest is kept while the
// file is written; otherwise (urlmon stores the file itself) the finished file is read.
//
// Threads: the worker ("ABDEF") exists, suspended, from construction; Start() on the owner's
// thread copies the callback and resumes it; every event is raised on the worker. Destruction
// cancels a transfer in progress and waits for the worker, which then raises nothing more.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "download/CDownloader.h"
#include "download/StopSignal.h"
#include "download/UrlDigest.h"
#include "download/UrlMoniker.h"
#include "utils/Thread.h"

class CWinDownloader : public CDownloader {
public:
    static constexpr int kAttempts = 3;
    static constexpr int kRetryPauseMs = 1000;

    class CBindCallback final : public UrlMoniker::IBindStatusCallback {
    public:
        using HRESULT = UrlMoniker::HRESULT;
        CBindCallback() = default;
        // Cancels: a transfer still running is aborted and nothing more is reported.
        ~CBindCallback();

        void SetCallback(const DownloadCallback& callback);
        // The address the last transfer ended at after redirects; "" when it was not moved.
        const std::wstring& RedirectedUrl() const { return redirectedUrl_; }
        // Sets the cancelled flag and aborts the binding of a running transfer.
        void Cancel();
        bool Cancelled() const { return cancelled_.load(); }
        // The digest of the body the last transfer stored, kept as it arrived (see
        // OnDataAvailable); the worker's only.
        Download::WrittenDigest& StoredBody() { return storedBody_; }

        HRESULT QueryInterface(const void* iid, void** object) override;
        uint32_t AddRef() override { return 0; }
        uint32_t Release() override { return 0; }
        HRESULT OnStartBinding(uint32_t reserved, UrlMoniker::IBinding* binding) override;
        HRESULT GetPriority(int32_t* priority) override;
        HRESULT OnLowResource(uint32_t reserved) override;
        HRESULT OnProgress(uint64_t progress, uint64_t progressMax, uint32_t statusCode,
                           const wchar_t* statusText) override;
        HRESULT OnStopBinding(HRESULT result, const wchar_t* error) override;
        HRESULT GetBindInfo(uint32_t* flags, UrlMoniker::BindInfo* info) override;
        // Bytes the service has just appended to the file it stores: `medium` points to `size`
        // bytes, `format` is null. Each transfer starts a fresh file (OnStartBinding), whose
        // bytes arrive here in order; a service that never calls this leaves the digest empty,
        // and the check reads the file.
        HRESULT OnDataAvailable(uint32_t flags, uint64_t size, void* format, void* medium) override;
        HRESULT OnObjectAvailable(const void* iid, void* object) override;
        HRESULT GetBindInfoEx(uint32_t* flags, UrlMoniker::BindInfo* info, uint32_t* bindFlags2,
                              uint32_t* reserved) override;

    private:
        DownloadCallback callback_;  // written by Start() before the worker runs
        std::atomic<bool> cancelled_{false};
        std::mutex bindingMutex_;
        UrlMoniker::IBinding* binding_ = nullptr;  // the running transfer, not owned
        std::wstring redirectedUrl_;               // the worker's only
        Download::WrittenDigest storedBody_;       // the worker's only
    };

    CWinDownloader(DownloadCallback callback, std::wstring url, std::wstring targetPath);
    ~CWinDownloader() override;

    // The first call starts the download; later calls have no effect.
    void Start() override;

    // "file:///" URLs unchanged; any other URL as UTF-8 with bytes 33..126 kept, a space as "+"
    // and every other byte as "%XX" (upper-case hexadecimal).
    static std::wstring PrepareUrl(const std::wstring& url);

    static unsigned WorkerFun(void* self);

private:
    void Run();
    // Checks the finished target against the digest its final address names; removes a target
    // that does not match.
    bool DigestMatches(const std::wstring& requestedUrl);

    CBindCallback bindCallback_;
    DownloadCallback callback_;
    std::wstring targetPath_;
    std::wstring url_;
    std::unique_ptr<Utils::Thread> worker_;
    std::atomic<bool> started_{false};
    Download::StopSignal stop_;
};
