#pragma once
// The toolkit's timers and posted work on the Windows message queue of the user-interface
// thread, through a message-only window made by the constructor (so on that thread). Posted
// work runs in posting order, one item per dispatched message, from any posting thread; work
// posted while an item runs a nested message loop (a modal box, the system's own move loop of
// a caption drag, a message box) runs inside that loop, because every loop dispatches the
// thread's posted messages. Timers are the system's window timers (WM_TIMER), which fire when
// the queue is otherwise idle and never more often than every 10 ms.
//
// Thread: made on the user-interface thread; Post() from any thread, the rest on that thread.
#include <basetsd.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "toolkit/Scheduler.h"

struct HWND__;

namespace Toolkit {

class Win32Scheduler : public IScheduler {
public:
    Win32Scheduler();
    ~Win32Scheduler() override;
    Win32Scheduler(const Win32Scheduler&) = delete;
    Win32Scheduler& operator=(const Win32Scheduler&) = delete;

    std::uint64_t NowMs() override;
    std::uintptr_t StartTimer(unsigned periodMs, std::function<void()> tick) override;
    void StopTimer(std::uintptr_t handle) override;
    void Post(std::function<void()> work) override;

    // False when the message window could not be made (nothing posted would ever run).
    bool IsReady() const { return window_ != nullptr; }

private:
    struct TimerEntry;
    // Win32's own types (LRESULT and LPARAM are LONG_PTR): on 32-bit Windows LONG_PTR is `long`,
    // a type of its own beside intptr_t's `int`.
    static LONG_PTR __stdcall WindowProc(HWND__* hwnd, unsigned msg, UINT_PTR wParam, LONG_PTR lParam);
    void RunTimer(std::uintptr_t handle);
    void RunOnePosted();
    bool PostDrain();

    HWND__* window_ = nullptr;
    std::map<std::uintptr_t, std::shared_ptr<TimerEntry>> timers_;  // user-interface thread only
    std::uintptr_t nextHandle_ = 1;
    std::mutex mutex_;  // guards the posted queue and drainScheduled_
    std::deque<std::function<void()>> posted_;
    bool drainScheduled_ = false;
};

}  // namespace Toolkit
