#include "utils/Thread.h"

#include <cerrno>
#include <process.h>
#include <string>

#include "utils/Log.h"
#include "utils/StringUtils.h"
#include "utils/ThreadState.h"
#include "utils/SystemFunction_win32.h"
#include "utils/UniqueHandle_win32.h"

namespace Utils {

// The thread is created suspended; Resume lets it run.
struct Thread::State::System {
    UniqueHandle handle;
    bool resumed = false;
    // Set before a never-resumed thread is let run at its teardown: it then ends at once.
    bool cancelled = false;

    // The C runtime's thread start wants this signature; it forwards to the private entry.
    static unsigned __stdcall Entry(void* state) {
        Thread::CallBack(state);
        return 0;  // _beginthreadex's routine ends the thread as _endthreadex(0) would
    }
};

namespace {

// SetThreadDescription exists from Windows 10 1607 on: looked up, never required. A missing
// function or a refusal only loses the label. Windows 10 1607 exports it from kernelbase only.
void DescribeThread(HANDLE thread, const std::wstring& name) {
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const SetDescription set = [] {
        const auto found = win::SystemFunction<SetDescription>(L"kernelbase.dll", "SetThreadDescription");
        return found ? found : win::SystemFunction<SetDescription>(L"kernel32.dll", "SetThreadDescription");
    }();
    if (set) set(thread, name.c_str());
}

// The debuggers' older naming convention, which every Windows debugger reads (descriptions
// are read from Windows 10 1607 on only): exception 0x406D1388 carrying the name in the ANSI code
// page and the thread's id. An attached debugger takes it first; without one the handler below,
// added after every other the process has, lets execution go on. Installed only while raising.
constexpr DWORD kNameThreadException = 0x406D1388;

#pragma pack(push, 8)
struct ThreadNameInfo {
    DWORD type;  // 0x1000
    LPCSTR name;
    DWORD threadId;
    DWORD flags;  // 0
};
#pragma pack(pop)

LONG CALLBACK ContinueAfterName(EXCEPTION_POINTERS* exception) {
    return exception->ExceptionRecord->ExceptionCode == kNameThreadException ? EXCEPTION_CONTINUE_EXECUTION
                                                                              : EXCEPTION_CONTINUE_SEARCH;
}

class NameExceptionHandler {
public:
    NameExceptionHandler() : handler_(::AddVectoredExceptionHandler(0, &ContinueAfterName)) {}
    ~NameExceptionHandler() {
        if (handler_) ::RemoveVectoredExceptionHandler(handler_);
    }
    NameExceptionHandler(const NameExceptionHandler&) = delete;
    NameExceptionHandler& operator=(const NameExceptionHandler&) = delete;
    bool Installed() const { return handler_ != nullptr; }

private:
    void* handler_;
};

void AnnounceThreadName(DWORD id, const std::wstring& name) {
    const int size = ::WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    std::string ansi(static_cast<size_t>(size), '\0');
    if (::WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, ansi.data(), size, nullptr, nullptr) != size) return;
    const NameExceptionHandler handler;
    // Without the handler the exception would end the process.
    if (!handler.Installed()) return;
    const ThreadNameInfo info{0x1000, ansi.c_str(), id, 0};
    ::RaiseException(kNameThreadException, 0, sizeof info / sizeof(ULONG_PTR),
                     reinterpret_cast<const ULONG_PTR*>(&info));
}

}  // namespace

Thread::State::State() : system(std::make_unique<System>()) {}

Thread::State::~State() = default;

// Resume orders the cancel mark's write before the thread runs: no lock is needed to read it.
bool Thread::State::PassStartGate() { return !system->cancelled; }

Thread::Thread(void* argument, std::wstring name, WorkFunction work)
    : state_(std::make_unique<State>()), work_(std::move(work)), argument_(argument), name_(std::move(name)) {
    state_->owner = this;
    unsigned id = 0;
    const uintptr_t handle =
        ::_beginthreadex(nullptr, 0, &State::System::Entry, state_.get(), CREATE_SUSPENDED, &id);
    if (handle == 0) {
        QLOG(L"_beginthreadex failed: errno %d\r\n", errno);
        return;
    }
    State::System& system = *state_->system;
    system.handle.Reset(reinterpret_cast<HANDLE>(handle));
    state_->id = id;
    debuggerName_ = detail::ThreadDebuggerName(name_, id, std::string::npos);
    const std::wstring systemName = name_.empty() ? FromUtf8(debuggerName_) : name_;
    DescribeThread(system.handle.Get(), systemName);
    AnnounceThreadName(id, systemName);
}

bool Thread::HasHandle() const { return static_cast<bool>(state_->system->handle); }

bool Thread::Resume() {
    State::System& system = *state_->system;
    if (!system.handle || system.resumed) return false;
    if (::ResumeThread(system.handle.Get()) == static_cast<DWORD>(-1)) {
        QLOG(L"ResumeThread failed: %lu\r\n", ::GetLastError());
        return false;
    }
    system.resumed = true;
    return true;
}

void Thread::Join() {
    State::System& system = *state_->system;
    if (!system.handle) return;
    if (!system.resumed) {
        // A thread that was never resumed ends without running its work: it is let run with
        // the cancel mark set (the resume is ordered after the write), so the C runtime ends it
        // normally instead of having it killed.
        system.cancelled = true;
        if (::ResumeThread(system.handle.Get()) == static_cast<DWORD>(-1)) {
            QLOG(L"ResumeThread failed: %lu\r\n", ::GetLastError());
            system.handle.Reset();  // cannot be waited for; the suspended thread is left as it is
            state_->id = kNoThread;
            return;
        }
        system.resumed = true;
    }
    if (::WaitForSingleObject(system.handle.Get(), INFINITE) != WAIT_OBJECT_0)
        QLOG(L"waiting for thread %lu failed: %lu\r\n", static_cast<unsigned long>(state_->id), ::GetLastError());
    system.handle.Reset();
    state_->id = kNoThread;
}

}  // namespace Utils
