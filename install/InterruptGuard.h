#pragma once
// What an unattended install does when it is asked to stop (SIGTERM, SIGINT or SIGHUP): the
// signal is passed on to the process group of the package or uninstaller that runs (each runs
// in a group of its own), which gets kGroupWaitMs to end; then every file the download left
// under the package's name ("__Package_Quorvex.exe" and its part files) is removed, the
// caller's last words run (the unattended mode sends the queued analytics records) and the
// installer exits with 128 + the signal number. Without it the package would run on and a
// rerun would start a second one in the same folder.
//
// The signal handler only writes the signal's number into a pipe; a watcher thread does the
// rest. One guard at a time.
//
// Threads: constructed and destroyed on the main thread (the destructor restores the earlier
// handlers and joins the watcher); the watcher thread is the guard's own.
#include <functional>
#include <string>
#include <thread>

class InterruptGuard {
public:
    static constexpr int kGroupWaitMs = 2000;

    // `packagePath` is the package file whose leftovers go on a stop ("" for none);
    // `beforeExit` runs on the watcher thread just before the exit.
    InterruptGuard(std::wstring packagePath, std::function<void()> beforeExit);
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // Removes the package file and every file beside it whose name starts with the package's
    // file name (the downloaders' ".part" and "_N" files). Links are removed, never followed.
    static void RemoveDownloadLeftovers(const std::wstring& packagePath);

private:
    void Watch();

    std::wstring packagePath_;
    std::function<void()> beforeExit_;
    int signalPipe_[2] = {-1, -1};
    int stopPipe_[2] = {-1, -1};
    std::thread watcher_;
};
