#include "utils/Thread.h"

#include <exception>
#include <process.h>

#include "utils/Log.h"
#include "utils/SignalStack.h"
#include "utils/StringUtils.h"
#include "utils/UniqueHandle_win32.h"

namespace Utils {

struct Thread::State {
    UniqueHandle handle;
    uint32_t id = kNoThread;
    bool resumed = false;
    // Set before a never-resumed thread is let run at its teardown: it then ends at once.
    bool cancelled = false;
    Thread* owner = nullptr;

    // The C runtime's thread start wants this signature; it forwards to the private entry.
    static unsigned __stdcall Entry(void* state) {
        Thread::CallBack(state);
        return 0;  // _beginthreadex's routine ends the thread as _endthreadex(0) would
    }
};

namespace {

// SetThreadDescription exists from Windows 10 1607 on: looked up, never required. A missing
// function or a refusal only loses the label.
void NameThread(HANDLE thread, const std::wstring& name) {
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const SetDescription set = [] {
        HMODULE kernel = ::GetModuleHandleW(L"kernelbase.dll");
        if (!kernel) kernel = ::GetModuleHandleW(L"kernel32.dll");
        return kernel ? reinterpret_cast<SetDescription>(
                            reinterpret_cast<void*>(::GetProcAddress(kernel, "SetThreadDescription")))
                      : nullptr;
    }();
    if (set) set(thread, name.c_str());
}

}  // namespace

void* Thread::CallBack(void* raw) {
    auto* state = static_cast<State*>(raw);
    if (state->cancelled) return nullptr;
    Thread* self = state->owner;
    EnsureAlternateSignalStack();  // room for the crash report should this worker overflow its stack
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
    unsigned id = 0;
    const uintptr_t handle = ::_beginthreadex(nullptr, 0, &State::Entry, state_.get(), CREATE_SUSPENDED, &id);
    if (handle == 0) {
        QLOG(L"_beginthreadex failed: errno %d\r\n", errno);
        return;
    }
    state_->handle.Reset(reinterpret_cast<HANDLE>(handle));
    state_->id = id;
    if (name_.empty()) {
        debuggerName_ = "t" + std::to_string(id);
        NameThread(state_->handle.Get(), FromUtf8(debuggerName_));
    } else {
        debuggerName_ = ToUtf8(name_);
        NameThread(state_->handle.Get(), name_);
    }
}

Thread::~Thread() {
    Join();
    name_.clear();
    work_ = nullptr;
}

bool Thread::HasHandle() const { return static_cast<bool>(state_->handle); }

uint32_t Thread::Id() const { return state_->id; }

bool Thread::Resume() {
    if (!state_->handle || state_->resumed) return false;
    if (::ResumeThread(state_->handle.Get()) == static_cast<DWORD>(-1)) {
        QLOG(L"ResumeThread failed: %lu\r\n", ::GetLastError());
        return false;
    }
    state_->resumed = true;
    return true;
}

void Thread::Join() {
    if (!state_->handle) return;
    if (!state_->resumed) {
        // A thread that was never resumed ends without running its work: it is let run with
        // the cancel mark set (the resume is ordered after the write), so the C runtime ends it
        // normally instead of having it killed.
        state_->cancelled = true;
        if (::ResumeThread(state_->handle.Get()) == static_cast<DWORD>(-1)) {
            QLOG(L"ResumeThread failed: %lu\r\n", ::GetLastError());
            state_->handle.Reset();  // cannot be waited for; the suspended thread is left as it is
            state_->id = kNoThread;
            return;
        }
        state_->resumed = true;
    }
    if (::WaitForSingleObject(state_->handle.Get(), INFINITE) != WAIT_OBJECT_0)
        QLOG(L"waiting for thread %lu failed: %lu\r\n", static_cast<unsigned long>(state_->id), ::GetLastError());
    state_->handle.Reset();
    state_->id = kNoThread;
}

}  // namespace Utils
