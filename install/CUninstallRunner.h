#pragma once
// Runs the kept uninstaller of a previous installation (its ".exe" copy in the private
// temporary folder) silently and turns its status lines into events.
//
// Command line: "<copy>" /S -adminact=<console user admin> -authorizationact=<elevated>
// -console=show _?=<previous install folder>
// The copy's path is quoted so that a folder with blanks still names one program; "_?=" and
// the folder, unquoted, come last as uninstallers expect (they take the rest of the line).
//
// Events (on the worker thread): 5004 (1, "可执行卸载文件不存在") when the copy is missing;
// 5002 (0) before the start; 5004 (2) when it cannot be started; then the status lines
// (UninstallStatusParser); 5003 (1) when it ended without a final state line, except when it
// had to be stopped for its silence: 5005 (0, the cause). The child's run is StatusChildRun's.
//
// One runner runs once. Threads: created and started by the orchestrator; the worker thread
// "UnInstaller" owns the child process; destruction waits for the worker.
#include <memory>
#include <string>

#include "download/DownloadCallback.h"
#include "install/UninstallStatusParser.h"
#include "utils/Thread.h"

class CUninstallRunner {
public:
    CUninstallRunner(DownloadCallback callback, std::wstring uninstallerCopy, std::wstring previousInstallFolder);
    ~CUninstallRunner();
    CUninstallRunner(const CUninstallRunner&) = delete;
    CUninstallRunner& operator=(const CUninstallRunner&) = delete;

    // Builds the command line, starts the worker and returns at once.
    void Run();
    // Waits for the worker (if any) to end.
    void Join();

    // The command line for the given privileges (pure; used by Run).
    std::wstring BuildCommandLine(bool consoleUserIsAdmin, bool processIsElevated) const;
    const std::wstring& CommandLine() const { return commandLine_; }

    static unsigned WorkerRoutine(void* self);

private:
    void Work();

    DownloadCallback callback_;
    std::wstring commandLine_;
    std::wstring uninstallerCopy_;
    std::wstring installFolder_;
    UninstallStatusParser parser_;
    std::unique_ptr<Utils::Thread> worker_;
};
