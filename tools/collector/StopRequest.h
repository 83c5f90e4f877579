#pragma once
// How qv-test-collector learns that it should end: SIGINT or SIGTERM on POSIX systems; Ctrl+C,
// Ctrl+Break or the console closing on Windows. The request is taken on the thread that waits,
// so the collector can stop in order (threads joined, record file complete) and exit 0.
//
// Threads: construct it on the main thread before any other thread starts (POSIX threads inherit
// the signal mask it sets); Wait on that thread.
#include <memory>

namespace collector {

class StopRequest {
public:
    StopRequest();
    ~StopRequest();
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;

    // Blocks until a stop is requested; false when the system cannot deliver one (the caller
    // then stops at once rather than wait for ever).
    bool Wait();

private:
    struct Native;
    std::unique_ptr<Native> native_;
};

}  // namespace collector
