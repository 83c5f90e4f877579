#pragma once
// A named worker thread that runs one function with one argument. It is created suspended:
// the owner calls Resume() when it is ready. Owned and driven by one thread only (the owner):
// construction, Resume, Join and destruction are not synchronised against each other.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <pthread.h>
#include <string>

namespace Utils {

class Thread {
public:
    using WorkFunction = std::function<unsigned(void*)>;
    static constexpr uint32_t kNoThread = 0xFFFFFFFFu;

    // Creates the thread suspended and names it: the name cut to 15 bytes of UTF-8, or
    // "t" + the thread id when the name is empty. When the thread cannot be created the
    // object has no handle (HasHandle() is false) and Resume() does nothing.
    Thread(void* argument, std::wstring name, WorkFunction work);
    // Joins. A thread that was never resumed ends without running its work function.
    ~Thread();

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Lets the thread run its work function. Returns false without a handle or when already resumed.
    bool Resume();
    // Waits without time-out for the thread to end; returns at once without a handle.
    void Join();

    bool HasHandle() const { return hasHandle_; }
    // Kernel thread id; kNoThread when there is no thread (or after Join).
    uint32_t Id() const { return id_; }
    const std::wstring& Name() const { return name_; }
    // The name given to the system for this thread (what debuggers and /proc show).
    const std::string& DebuggerName() const { return debuggerName_; }

private:
    static void* CallBack(void* self);

    uint32_t id_ = kNoThread;
    pthread_t handle_{};
    bool hasHandle_ = false;
    WorkFunction work_;
    void* argument_ = nullptr;
    std::wstring name_;
    std::string debuggerName_;

    // Start gate: the new thread publishes its id, then waits until resumed or cancelled.
    std::mutex gateMutex_;
    std::condition_variable gate_;
    bool idPublished_ = false;
    bool resumed_ = false;
    bool cancelled_ = false;
};

}  // namespace Utils
