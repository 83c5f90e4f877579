#pragma once
// Chains the stages of one install: the previous copy's uninstaller (when one is to run), the
// package download, the package run. Every event of every stage is relayed to the owner's
// callback first; then the orchestrator reacts:
//   1001 create the install folder        1003 check, then run the package
//   1004 delete the package
//   1005 start the same download again     2003 / 2004 delete the package
//   5003 start the download                5004 / 5005 the chain ends, nothing is downloaded
//
// A 1003 is relayed only for a package that passes its checks (SHA-256 and signature, see
// Download::PackageVerifier); one that fails them is deleted and relayed as 1004 with value 0
// and the reason ("signature: ..." or "sha256: ...") as text, so every front end takes its
// download-failure path and no refused package is ever started.
//
// The package goes to "<folder>/__Package_Quorvex.exe". The downloader and the package runner
// are made by the first Start() and kept; a later Start() for another folder replaces the
// downloader (a downloader's target is fixed) and points the runner at the new folder, so the
// user's latest choice always wins (the system URL downloader, which downloads only once in
// its life, is made anew for every Start()). Each Start() that finds a previous uninstaller joins and
// releases the earlier uninstall runner before it makes a new one.
//
// Threads: construction, SetInstallParams, Start and destruction on the owner's thread
// (the window's, or the unattended mode's main thread), only while no chain is running (before
// the first Start, or after a final event). The handlers run on the stages' worker threads;
// the owner's callback is therefore called on those threads and must hand events over to
// its own thread. Stages never overlap: each starts the next only from its own final event.
// The one lock orders those starts against destruction: once destruction has begun, no
// handler starts another stage, and none is half-way through starting one.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "download/CDownloader.h"
#include "download/DownloadCallback.h"
#include "install/CPackageRunner.h"
#include "install/CUninstallRunner.h"

class CDownloadInstaller {
public:
    CDownloadInstaller(DownloadCallback callback, std::wstring url, std::wstring previousUninstaller,
                       std::wstring installFolder, std::wstring language, bool desktopIcon, bool taskbarPin,
                       bool userIsAdmin);
    // Stops the stages in the order they start one another (uninstall, download, package),
    // waiting for each; then the callback goes.
    ~CDownloadInstaller();
    CDownloadInstaller(const CDownloadInstaller&) = delete;
    CDownloadInstaller& operator=(const CDownloadInstaller&) = delete;

    void SetInstallParams(std::wstring url, std::wstring previousUninstaller, std::wstring installFolder,
                          std::wstring language, bool desktopIcon, bool taskbarPin, bool userIsAdmin,
                          bool processIsElevated);
    // The settings that steer the stages (handed in by the front end, never read from the
    // process-wide settings here): the downloader type (2 system URL loader, 3
    // multi-connection, anything else single-connection), the package's extra switches, and
    // whether the HTTP library started (the multi-connection downloader fails at once without).
    void SetStageOptions(int downloadType, std::wstring instCmd, bool curlReady = true);
    // The SHA-256 the settings expect of the package ("" for none; 64 hexadecimal digits of
    // either case, anything else refuses every package).
    void SetExpectedSha256(const std::wstring& digest);
    // The Ed25519 signing key as 64 hexadecimal digits ("" for none). The build's own key
    // (Download::BuiltInPackageKeyHex) until this is called; tests give their own.
    void SetPackageKey(std::string keyHex);
    // Starts the chain and returns; every outcome arrives through the callback.
    void Start();
    // "<install folder>/__Package_Quorvex.exe".
    std::wstring GetPackagePath() const;

    // The private temporary copy the previous uninstaller runs as.
    static constexpr wchar_t kUninstallerCopyName[] = L"Pelmora_un_asa.exe";

private:
    void OnDownloadEvent(int32_t code, double value, const wchar_t* text);
    void OnUninstallEvent(int32_t code, double value, const wchar_t* text);
    void OnInstallEvent(int32_t code, double value, const wchar_t* text);
    void MakeDownloader();
    // False (after deleting the package and relaying 1004) when the package fails its checks.
    bool PackagePassesChecks(const std::wstring& package);
    // Runs `start` (which starts the next stage) unless destruction has begun.
    void StartStage(const std::function<void()>& start);
    // Removes the package file after its run. A package may still be running when it reports
    // its end, and Windows keeps the file of a running program: a file that cannot go yet is
    // removed once the package runner's worker is over (at the next Start, or at destruction,
    // which waits for the worker).
    void RemovePackage(const std::wstring& package);
    void RemoveLeftPackage();

    std::unique_ptr<CUninstallRunner> uninstallRunner_;
    std::unique_ptr<CDownloader> downloader_;
    std::unique_ptr<CPackageRunner> packageRunner_;
    std::wstring url_;
    std::wstring previousUninstaller_;
    std::wstring installFolder_;
    std::wstring packagePath_;
    std::wstring downloadTarget_;  // the path the current downloader writes to
    std::wstring downloaderUrl_;   // the address the current downloader fetches
    int downloaderType_ = 0;       // the type the current downloader was made for
    bool desktopIcon_;
    bool taskbarPin_;
    bool userIsAdmin_;
    bool processIsElevated_ = false;
    int downloadType_ = 1;
    std::wstring instCmd_;
    bool curlReady_ = true;
    std::string expectedSha256_;
    std::string packageKeyHex_;
    std::wstring language_;
    DownloadCallback callback_;
    std::mutex stageMutex_;
    bool stopping_ = false;    // guarded by stageMutex_
    std::wstring packageLeft_;  // a package file still to remove; guarded by stageMutex_
};
