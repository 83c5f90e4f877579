#pragma once
// A named worker thread that runs one function with one argument. It is created suspended:
// the owner calls Resume() when it is ready. Owned and driven by one thread only (the owner):
// construction, Resume, Join and destruction are not synchronised against each other.
//
// Every worker gets its reserve for a crash handler (EnsureAlternateSignalStack) before its work
// runs, so the crash report is still made when the worker dies of a stack overflow.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Utils {

class Thread {
public:
    using WorkFunction = std::function<unsigned(void*)>;
    static constexpr uint32_t kNoThread = 0xFFFFFFFFu;

    // Creates the thread suspended and names it for debuggers: the name, or "t" + the thread
    // id when the name is empty; where the system keeps short thread names (Linux: 15 bytes)
    // it is cut on a UTF-8 character boundary. When the thread cannot be created the object
    // has no handle (HasHandle() is false) and Resume() does nothing.
    Thread(void* argument, std::wstring name, WorkFunction work);
    // Joins. A thread that was never resumed ends without running its work function.
    ~Thread();

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Lets the thread run its work function. Returns false without a handle or when already resumed.
    bool Resume();
    // Waits without time-out for the thread to end; returns at once without a handle.
    void Join();

    bool HasHandle() const;
    // Kernel thread id; kNoThread when there is no thread (or after Join).
    uint32_t Id() const;
    const std::wstring& Name() const { return name_; }
    // The name given to the system for this thread, in UTF-8 (what debuggers show).
    const std::string& DebuggerName() const { return debuggerName_; }

private:
    // The system's thread handle and the start gate, in the platform's source file.
    struct State;
    // The thread's entry: waits at the start gate, then runs the work (its name is part of the
    // trace lines the work's begin and end give).
    static void* CallBack(void* state);

    std::unique_ptr<State> state_;
    WorkFunction work_;
    void* argument_ = nullptr;
    std::wstring name_;
    std::string debuggerName_;
};

}  // namespace Utils
