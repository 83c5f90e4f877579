#include "toolkit/Scheduler.h"

#include <algorithm>
#include <limits>

namespace Toolkit {

namespace {
IScheduler* g_default = nullptr;
}

IScheduler& DefaultScheduler() {
    static ManualScheduler fallback;
    return g_default ? *g_default : fallback;
}

void SetDefaultScheduler(IScheduler* scheduler) { g_default = scheduler; }

std::uint64_t ManualScheduler::NowMs() {
    std::lock_guard lock(mutex_);
    return now_;
}

std::uintptr_t ManualScheduler::StartTimer(unsigned periodMs, std::function<void()> tick) {
    std::lock_guard lock(mutex_);
    const std::uintptr_t handle = nextHandle_++;
    const unsigned period = std::max(1u, periodMs);
    timers_.emplace(handle, Timer{period, now_ + period, std::move(tick)});
    return handle;
}

void ManualScheduler::StopTimer(std::uintptr_t handle) {
    std::lock_guard lock(mutex_);
    timers_.erase(handle);
}

void ManualScheduler::Post(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(work));
}

int ManualScheduler::RunPosted() {
    int count = 0;
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (posted_.empty()) return count;
            work = std::move(posted_.front());
            posted_.pop_front();
        }
        work();
        ++count;
    }
}

void ManualScheduler::Advance(std::uint64_t ms) {
    std::uint64_t target;
    {
        std::lock_guard lock(mutex_);
        target = now_ + ms;
    }
    RunPosted();
    for (;;) {
        std::function<void()> tick;
        {
            std::lock_guard lock(mutex_);
            auto next = timers_.end();
            for (auto it = timers_.begin(); it != timers_.end(); ++it)
                if (it->second.due <= target && (next == timers_.end() || it->second.due < next->second.due)) next = it;
            if (next == timers_.end()) {
                now_ = target;
                return;
            }
            now_ = next->second.due;
            next->second.due += next->second.period;
            tick = next->second.tick;  // a copy: the tick may stop its own timer
        }
        tick();
        RunPosted();
    }
}

std::size_t ManualScheduler::ActiveTimers() const {
    std::lock_guard lock(mutex_);
    return timers_.size();
}

}  // namespace Toolkit
