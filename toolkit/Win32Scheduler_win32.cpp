#include "toolkit/Win32Scheduler_win32.h"

#include <cstdio>

#include "utils/WindowsApi_win32.h"

namespace Toolkit {
namespace {

constexpr UINT kDrainMessage = WM_APP + 1;
constexpr wchar_t kClassName[] = L"QuorvexSchedulerWindow";

}  // namespace

struct Win32Scheduler::TimerEntry {
    std::uintptr_t handle;
    std::function<void()> tick;
};

Win32Scheduler::Win32Scheduler() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Win32Scheduler::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        std::fprintf(stderr, "scheduler: RegisterClassExW failed (%lu)\n", GetLastError());
        return;
    }
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (!window_) {
        std::fprintf(stderr, "scheduler: CreateWindowExW failed (%lu)\n", GetLastError());
        return;
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Scheduler::~Win32Scheduler() {
    if (!window_) return;
    for (const auto& [handle, entry] : timers_) KillTimer(window_, handle);
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

std::uint64_t Win32Scheduler::NowMs() { return GetTickCount64(); }

LRESULT CALLBACK Win32Scheduler::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32Scheduler*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg == WM_TIMER) {
        self->RunTimer(wParam);
        return 0;
    }
    if (self && msg == kDrainMessage) {
        self->RunOnePosted();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::uintptr_t Win32Scheduler::StartTimer(unsigned periodMs, std::function<void()> tick) {
    const std::uintptr_t handle = nextHandle_++;
    if (!window_) return handle;  // inert, but a valid handle to stop
    // The window timer's id is the handle itself, so WM_TIMER names the entry directly.
    if (!SetTimer(window_, handle, periodMs, nullptr)) {
        std::fprintf(stderr, "scheduler: SetTimer failed (%lu)\n", GetLastError());
        return handle;
    }
    timers_.emplace(handle, std::make_shared<TimerEntry>(TimerEntry{handle, std::move(tick)}));
    return handle;
}

void Win32Scheduler::StopTimer(std::uintptr_t handle) {
    auto it = timers_.find(handle);
    if (it == timers_.end()) return;
    timers_.erase(it);
    // A WM_TIMER already taken from the queue finds no entry and does nothing.
    if (window_) KillTimer(window_, handle);
}

void Win32Scheduler::RunTimer(std::uintptr_t handle) {
    auto it = timers_.find(handle);
    if (it == timers_.end()) {
        KillTimer(window_, handle);
        return;
    }
    // Keep the entry alive while it runs: the tick may stop its own timer.
    std::shared_ptr<TimerEntry> entry = it->second;
    entry->tick();
}

bool Win32Scheduler::PostDrain() {
    if (window_ && PostMessageW(window_, kDrainMessage, 0, 0)) return true;
    std::fprintf(stderr, "scheduler: PostMessageW failed (%lu)\n", window_ ? GetLastError() : 0UL);
    return false;
}

void Win32Scheduler::Post(std::function<void()> work) {
    bool schedule = false;
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(work));
        if (!drainScheduled_) drainScheduled_ = schedule = true;
    }
    // Only one drain message is ever queued, so a burst of posts cannot fill the thread's
    // message queue. A failed post leaves the next Post() to try again.
    if (schedule && !PostDrain()) {
        std::lock_guard lock(mutex_);
        drainScheduled_ = false;
    }
}

void Win32Scheduler::RunOnePosted() {
    // One item per message, with the next message posted before the item runs: an item may
    // start a nested loop (a modal box opened by a posted event), and work posted before or
    // during that loop must still run inside it, in posting order.
    std::function<void()> work;
    bool more = false;
    {
        std::lock_guard lock(mutex_);
        if (!posted_.empty()) {
            work = std::move(posted_.front());
            posted_.pop_front();
        }
        more = !posted_.empty();
        if (!more) drainScheduled_ = false;
    }
    if (more && !PostDrain()) {
        std::lock_guard lock(mutex_);
        drainScheduled_ = false;
    }
    if (work) work();
}

}  // namespace Toolkit
