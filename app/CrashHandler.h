#pragma once
// Last-chance crash reporting. A fatal fault on any thread (Linux: SIGSEGV, SIGBUS, SIGILL,
// SIGFPE, SIGABRT; Windows: an exception nothing handles, or abort()) runs the reporter once,
// then the system's own handling goes on, so the process still dies the way it would have
// (the original signal; the exception's code as exit status).
//
// The reporter runs inside a damaged process, possibly while the crashed thread holds locks or
// the heap is broken: it must not allocate, lock or call into libraries (the installer writes
// a CrashMarker and starts a separate reporter process, see CrashReporter).
#include <functional>
#include <string>

class CrashHandler {
public:
    // `crashCode`: the signal number (Linux) or the exception code (Windows).
    using Reporter = std::function<void(int crashCode)>;

    // Installs the handlers (main thread, before other threads exist). A second call replaces
    // the reporter. Returns false when a handler could not be installed.
    static bool Install(Reporter reporter);
    // Reserves what the calling thread needs to report a stack overflow of its own (an
    // alternate signal stack; a stack guarantee). The main thread gets it from Install.
    static bool PrepareThread();
    // The crash code as the trace names it: "signal 11", "exception 0xC0000005".
    static std::wstring Describe(int crashCode);
};
