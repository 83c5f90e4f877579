#include "tools/collector/StopRequest.h"

#include "utils/UniqueHandle_win32.h"
#include "utils/WindowsApi_win32.h"

#include <atomic>

namespace collector {
namespace {

// The console's control handler runs on a thread of its own and needs a plain function: it
// reaches the waiting object's event through this pointer (one StopRequest per process).
std::atomic<HANDLE> g_stopEvent{nullptr};

BOOL WINAPI OnConsoleControl(DWORD type) {
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT: {
            const HANDLE event = g_stopEvent.load();
            if (!event || !::SetEvent(event)) return FALSE;  // the default handler ends the process
            // A console closing ends the process when the handler returns: give the main thread
            // time to stop in order first.
            if (type == CTRL_CLOSE_EVENT) ::Sleep(2000);
            return TRUE;
        }
        default: return FALSE;
    }
}

}  // namespace

struct StopRequest::Native {
    Utils::UniqueHandle event;
    bool handlerSet = false;
};

StopRequest::StopRequest() : native_(std::make_unique<Native>()) {
    native_->event.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!native_->event) return;
    g_stopEvent.store(native_->event.Get());
    native_->handlerSet = ::SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
}

StopRequest::~StopRequest() {
    if (native_->handlerSet) ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_stopEvent.store(nullptr);
}

bool StopRequest::Wait() {
    if (!native_->handlerSet) return false;
    return ::WaitForSingleObject(native_->event.Get(), INFINITE) == WAIT_OBJECT_0;
}

}  // namespace collector
