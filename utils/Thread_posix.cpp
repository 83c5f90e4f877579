#include "utils/Thread.h"

#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "utils/ThreadState.h"

namespace Utils {
namespace {

constexpr std::size_t kMaxNameBytes = 15;  // pthread names are at most 15 bytes

}  // namespace

// pthreads cannot create a thread suspended: the new thread waits at this gate instead.
struct Thread::State::System {
    pthread_t handle{};
    bool hasHandle = false;

    // Start gate: the new thread publishes its id, then waits until resumed or cancelled.
    std::mutex gateMutex;
    std::condition_variable gate;
    bool idPublished = false;
    bool resumed = false;
    bool cancelled = false;
};

Thread::State::State() : system(std::make_unique<System>()) {}

Thread::State::~State() = default;

bool Thread::State::PassStartGate() {
    std::unique_lock lock(system->gateMutex);
    id = static_cast<uint32_t>(syscall(SYS_gettid));
    system->idPublished = true;
    system->gate.notify_all();
    system->gate.wait(lock, [this] { return system->resumed || system->cancelled; });
    return !system->cancelled;
}

Thread::Thread(void* argument, std::wstring name, WorkFunction work)
    : state_(std::make_unique<State>()), work_(std::move(work)), argument_(argument), name_(std::move(name)) {
    state_->owner = this;
    State::System& system = *state_->system;
    if (pthread_create(&system.handle, nullptr, &Thread::CallBack, state_.get()) != 0) return;
    system.hasHandle = true;
    {
        std::unique_lock lock(system.gateMutex);
        system.gate.wait(lock, [&system] { return system.idPublished; });
    }
    debuggerName_ = detail::ThreadDebuggerName(name_, state_->id, kMaxNameBytes);
    pthread_setname_np(system.handle, debuggerName_.c_str());  // a failure only loses the label
}

bool Thread::HasHandle() const { return state_->system->hasHandle; }

bool Thread::Resume() {
    State::System& system = *state_->system;
    if (!system.hasHandle) return false;
    std::lock_guard lock(system.gateMutex);
    if (system.resumed) return false;
    system.resumed = true;
    system.gate.notify_all();
    return true;
}

void Thread::Join() {
    State::System& system = *state_->system;
    if (!system.hasHandle) return;
    {
        std::lock_guard lock(system.gateMutex);
        if (!system.resumed) {
            system.cancelled = true;
            system.gate.notify_all();
        }
    }
    pthread_join(system.handle, nullptr);
    system.hasHandle = false;
    state_->id = kNoThread;
}

}  // namespace Utils
