#pragma once
// The unattended install: "quorvex-installer -silent [-installdir=<folder>]" runs the whole
// chain without a window, with the choices the window would make by default (the default
// folder, desktop icon and taskbar pin on, the previous installation's language or en-US),
// and honours an installed copy as the window does (its uninstaller runs first unless
// "IsOverride" in the folder's set.ini is "false").
//
// Standard output gets one line per change of the whole-bar percent (the download's lines also
// carry the smoothed download speed in MiB/s once it is steady, see DownloadRate), the package's
// messages and the result; a failure prints its text on standard error, followed by the path
// of the diagnostic trace's log file when there is one, and ends with the exit code of its class. A stop request during the install (SIGTERM, SIGINT, SIGHUP; Ctrl+C and the
// other console events on Windows) stops the package's group, removes the download's files
// and exits with the stop's code (InterruptGuard).
//
// The flow itself is InstallSession's: this front end only chooses the folder and language,
// runs the session's pre-checks (each failure ends with its exit code), prints what the
// session's reducer reports and maps the outcome to an exit code.
//
// Threads: Run() on the main thread, which owns the session; the stages' events are queued by
// their worker threads and handled on the main thread in arrival order.
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "install/InstallSession.h"
#include "install/InstalledCopy.h"

class CSilentInstaller {
public:
    enum ExitCode : int {
        kExitOk = 0,
        kExitInvalidFolder = 2,     // the folder cannot be created or is too long
        kExitDiskLow = 3,           // less than 1 GiB available for the folder
        kExitNetworkPoor = 4,       // the network probe failed (IsCheckNet on)
        kExitUninstallerBusy = 5,   // a copy of the previous uninstaller is running
        kExitUninstallFailed = 6,   // the previous copy's uninstaller failed or could not run
        kExitDownloadFailed = 7,    // the package could not be downloaded
        kExitInstallFailed = 8,     // the package failed or could not be started
        kExitTempUnusable = 9,      // the private temporary folder cannot take the uninstaller copy
    };

    // "-silent" among the process arguments.
    static bool Requested(const std::vector<std::wstring>& arguments);

    explicit CSilentInstaller(std::FILE* out = stdout, std::FILE* err = stderr) : out_(out), err_(err) {}

    // Runs the install to its end; returns the exit code.
    int Run(const std::vector<std::wstring>& arguments);

private:
    struct Event {
        int code;
        double value;
        std::wstring text;
    };

    int Fail(ExitCode code, const std::wstring& text);
    int FailPreCheck(const PreCheckFailure& failure);
    int Finish(const InstallSession& session);
    void Print(const std::wstring& line);
    Event NextEvent();
    std::wstring ChooseFolder(const std::vector<std::wstring>& arguments, const PreviousInstallation& previous);

    std::FILE* out_;
    std::FILE* err_;
    std::wstring folder_;

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Event> queue_;  // guarded by mutex_
};
