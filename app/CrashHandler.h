#pragma once
// Last-chance crash reporting. A fatal signal (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT) on
// any thread runs the reporter once, on an alternate signal stack, then the default action is
// restored and the signal raised again, so the process still dies by the original signal.
//
// The reporter runs inside a signal handler of a damaged process, possibly while the crashed
// thread holds locks: it must use async-signal-safe calls only (the installer writes a
// CrashMarker and sends the report at its next start).
#include <functional>

class CrashHandler {
public:
    using Reporter = std::function<void(int signalNumber)>;

    // Installs the handlers (main thread, before other threads exist). A second call replaces
    // the reporter. Returns false when a handler could not be installed.
    static bool Install(Reporter reporter);
    // Gives the calling thread its own alternate stack, so a stack overflow on that thread is
    // reported too. The main thread gets one from Install.
    static bool PrepareThread();
};
