#pragma once
// What an unattended install does when it is asked to stop: the package or uninstaller that
// runs (each runs with everything it starts in a group of its own) is stopped with its group,
// which gets kGroupWaitMs to end; then every file the download left under the package's name
// ("__Package_Quorvex.exe" and its part files) is removed, the caller's last words run (the
// unattended mode sends the queued analytics records) and the installer exits with the stop's
// code. Without it the package would run on and a rerun would start a second one in the same
// folder.
//
// The stop requests and their exit codes, 128 + the number of the signal that plays that role:
//   Linux:   SIGINT 130, SIGHUP 129, SIGTERM 143 (the signal is passed on to the child's group);
//   Windows: Ctrl+C 130, the console closed 129, Ctrl+Break and the session ending (log-off,
//            shutdown) 143 (the child's group, a job, is ended: Windows has no polite request
//            for it).
// Once a stop has begun the process ends with its code: an install that ends meanwhile does
// not get to exit with its own code.
//
// One guard at a time. The work runs on a thread of the guard's own (Linux: a watcher woken
// by the signal handler through a pipe; Windows: the thread the system starts for the console
// event).
//
// Threads: constructed and destroyed on the main thread (the destructor restores the earlier
// handling, and waits for a stop that has begun).
#include <functional>
#include <memory>
#include <string>

class InterruptGuard {
public:
    static constexpr int kGroupWaitMs = 2000;

    // `packagePath` is the package file whose leftovers go on a stop ("" for none);
    // `beforeExit` runs on the guard's thread just before the exit.
    InterruptGuard(std::wstring packagePath, std::function<void()> beforeExit);
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // Removes the package file and every file beside it whose name starts with the package's
    // file name (the downloaders' ".part" and "_N" files). Links are removed, never followed.
    static void RemoveDownloadLeftovers(const std::wstring& packagePath);

private:
    struct State;  // the system's means of waiting for a stop request
    std::unique_ptr<State> state_;
};
