#pragma once
// The toolkit's timers and posted work on the GLib main loop (default main context). Posted
// work runs in posting order, one item per main-loop dispatch, from any posting thread; work
// posted while an item runs a nested main loop (a modal box) runs inside that loop.
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "toolkit/Scheduler.h"

namespace Toolkit {

class GlibScheduler : public IScheduler {
public:
    std::uint64_t NowMs() override;
    std::uintptr_t StartTimer(unsigned periodMs, std::function<void()> tick) override;
    void StopTimer(std::uintptr_t handle) override;
    void Post(std::function<void()> work) override;

private:
    struct TimerEntry;
    static int OnTimer(void* data);
    static int OnPosted(void* data);

    std::map<std::uintptr_t, std::shared_ptr<TimerEntry>> timers_;  // user-interface thread only
    std::uintptr_t nextHandle_ = 1;
    std::mutex mutex_;  // guards the posted queue
    std::deque<std::function<void()>> posted_;
    bool drainScheduled_ = false;
};

}  // namespace Toolkit
