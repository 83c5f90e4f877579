#pragma once
// Internal to Thread: what the new thread and its owner share. The run of the work and the
// thread's name are the same on every system (Thread.cpp); the thread handle and the start gate
// are the system's (Thread_posix.cpp / Thread_win32.cpp).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "utils/Thread.h"

namespace Utils {

struct Thread::State {
    State();
    ~State();
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    // Run first on the new thread: waits until the owner resumes it. False when the owner joins
    // a thread it never resumed; the thread then ends without running the work.
    bool PassStartGate();

    struct System;  // the system's thread handle and start gate
    std::unique_ptr<System> system;
    uint32_t id = kNoThread;
    Thread* owner = nullptr;  // set before the thread exists
};

namespace detail {
// The name a thread shows in debuggers: `name` in UTF-8, or "t" + `id` when it is empty; cut on a
// UTF-8 character boundary to at most `maxBytes` bytes where the system keeps short names.
std::string ThreadDebuggerName(const std::wstring& name, uint32_t id, std::size_t maxBytes);
}  // namespace detail

}  // namespace Utils
