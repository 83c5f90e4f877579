#include "utils/Thread.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "utils/Log.h"
#include "utils/SignalStack.h"
#include "utils/StringUtils.h"

namespace Utils {

struct Thread::State {
    pthread_t handle{};
    bool hasHandle = false;
    uint32_t id = kNoThread;

    // Start gate: the new thread publishes its id, then waits until resumed or cancelled.
    std::mutex gateMutex;
    std::condition_variable gate;
    bool idPublished = false;
    bool resumed = false;
    bool cancelled = false;

    // What the new thread runs; set before the thread exists.
    Thread* owner = nullptr;
};

namespace {

// pthread names are at most 15 bytes; cut on a UTF-8 character boundary.
std::string CutThreadName(const std::string& name) {
    if (name.size() <= 15) return name;
    size_t cut = 15;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return name.substr(0, cut);
}

}  // namespace

void* Thread::CallBack(void* raw) {
    auto* state = static_cast<State*>(raw);
    {
        std::unique_lock lock(state->gateMutex);
        state->id = static_cast<uint32_t>(syscall(SYS_gettid));
        state->idPublished = true;
        state->gate.notify_all();
        state->gate.wait(lock, [state] { return state->resumed || state->cancelled; });
        if (state->cancelled) return nullptr;
    }
    Thread* self = state->owner;
    EnsureAlternateSignalStack();  // without one, a stack overflow here dies unreported
    QLOG(L"THREAD BEGIN\r\n");
    try {
        self->work_(self->argument_);
    } catch (const std::exception& e) {
        // An exception must not take the installer down from a worker; it is logged instead.
        QLOG(L"THREAD EXCEPTION %S\r\n", e.what());
    } catch (...) {
        QLOG(L"THREAD EXCEPTION\r\n");
    }
    QLOG(L"THREAD END\r\n");
    return nullptr;
}

Thread::Thread(void* argument, std::wstring name, WorkFunction work)
    : state_(std::make_unique<State>()), work_(std::move(work)), argument_(argument), name_(std::move(name)) {
    state_->owner = this;
    if (pthread_create(&state_->handle, nullptr, &Thread::CallBack, state_.get()) != 0) return;
    state_->hasHandle = true;
    {
        std::unique_lock lock(state_->gateMutex);
        state_->gate.wait(lock, [this] { return state_->idPublished; });
    }
    if (name_.empty()) {
        debuggerName_ = "t";
        debuggerName_ += std::to_string(state_->id);
    } else {
        debuggerName_ = CutThreadName(ToUtf8(name_));
    }
    pthread_setname_np(state_->handle, debuggerName_.c_str());  // a failure only loses the label
}

Thread::~Thread() {
    Join();
    name_.clear();
    work_ = nullptr;
}

bool Thread::HasHandle() const { return state_->hasHandle; }

uint32_t Thread::Id() const { return state_->id; }

bool Thread::Resume() {
    if (!state_->hasHandle) return false;
    std::lock_guard lock(state_->gateMutex);
    if (state_->resumed) return false;
    state_->resumed = true;
    state_->gate.notify_all();
    return true;
}

void Thread::Join() {
    if (!state_->hasHandle) return;
    {
        std::lock_guard lock(state_->gateMutex);
        if (!state_->resumed) {
            state_->cancelled = true;
            state_->gate.notify_all();
        }
    }
    pthread_join(state_->handle, nullptr);
    state_->hasHandle = false;
    state_->id = kNoThread;
}

}  // namespace Utils
