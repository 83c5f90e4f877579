#pragma once
// Runs the downloaded package silently and turns its status lines into events.
//
// Command line (flags print as "true"/"false"; the pieces in brackets are optional):
//   "<package>" /S -console=show -version=1.0.0 -adminact=<user admin>
//   -authorizationact=<elevated> -dsc=<desktop icon> -ssc=<taskbar pin>[ <InstCmd>]
//   -inslang="<language>"[ -instdir="<folder>" /D=<folder>]
// "/D=" and the folder, unquoted, always come last: packages take everything after "/D="
// to the end of the line as the folder.
//
// Events (on the worker thread): 2001 when the worker begins; 2004 (1) without a package
// path; 2002 (0) just before the start; 2004 (2) when the package cannot be started (also when
// its file is a link or belongs to another user); then the status lines
// (PackageStatusParser). Without a final state line the end decides: a clean exit gives
// 2003 (1); a non-zero exit status, a signal, or silence past the idle limit give 2004 (3)
// with the cause in the text. The child's run, its limits and its draining are
// StatusChildRun's.
//
// Threads: the owner (the orchestrator) configures the runner and calls Run() from one
// thread at a time and never while a run raises events into a setter's data; the worker
// thread "ABDEF" owns the child process. Destruction waits for the worker.
#include <array>
#include <memory>
#include <string>

#include "download/DownloadCallback.h"
#include "install/PackageStatusParser.h"
#include "utils/Thread.h"

class CPackageRunner {
public:
    // `quotedPackagePath` is the package path enclosed in double quotes.
    CPackageRunner(DownloadCallback callback, std::wstring quotedPackagePath, std::wstring installFolder,
                   std::wstring language);
    ~CPackageRunner();
    CPackageRunner(const CPackageRunner&) = delete;
    CPackageRunner& operator=(const CPackageRunner&) = delete;

    void SetPackagePath(std::wstring quotedPackagePath) { packagePath_ = std::move(quotedPackagePath); }
    void SetInstallFolder(std::wstring folder) { installFolder_ = std::move(folder); }
    void SetLanguage(std::wstring language) { language_ = std::move(language); }
    // Extra switches inserted before " -inslang=" (none when empty).
    void SetInstCmd(std::wstring instCmd) { instCmd_ = std::move(instCmd); }
    void SetOptions(bool desktopIcon, bool taskbarPin, bool userIsAdmin, bool processIsElevated);

    // Builds the command line, waits for an earlier worker to end, starts a new one and
    // returns at once.
    void Run();

    // The command line for the current settings.
    std::wstring BuildCommandLine() const;
    const std::wstring& CommandLine() const { return commandLine_; }
    // Major, minor and patch from the last "InstallVersion=" line. Read after the worker ended.
    const std::array<int, 3>& InstalledVersion() const { return parser_.InstalledVersion(); }
    // The code page of the package's output, as the last "Encode=" line set it.
    unsigned CodePage() const { return parser_.CodePage(); }

    static unsigned WorkerRoutine(void* self);

private:
    void Work();

    DownloadCallback callback_;
    std::wstring packagePath_;
    std::wstring installFolder_;
    std::wstring commandLine_;
    std::wstring language_;
    std::wstring instCmd_;
    bool taskbarPin_ = true;
    bool desktopIcon_ = true;
    PackageStatusParser parser_;  // holds the code page, kept across runs
    std::unique_ptr<Utils::Thread> worker_;
    bool userIsAdmin_ = true;
    bool processIsElevated_ = true;
};
