#pragma once
// The clock and queue the toolkit runs its timers and posted work on. The GTK host provides
// one on the GLib main loop; ManualScheduler drives time by hand (tests, offscreen tools).
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace Toolkit {

class IScheduler {
public:
    virtual ~IScheduler() = default;
    // Milliseconds on a monotonic clock.
    virtual std::uint64_t NowMs() = 0;
    // Starts a repeating timer; `tick` runs on the user-interface thread every period until
    // the handle is cancelled. Handles are never 0.
    virtual std::uintptr_t StartTimer(unsigned periodMs, std::function<void()> tick) = 0;
    virtual void StopTimer(std::uintptr_t handle) = 0;
    // Runs `work` on the user-interface thread soon, in posting order. Any thread may post.
    virtual void Post(std::function<void()> work) = 0;
};

// The scheduler used when a window is given none: the host installs its own at start-up;
// until then a process-wide ManualScheduler.
IScheduler& DefaultScheduler();
void SetDefaultScheduler(IScheduler* scheduler);

// Time moves only when Advance() is called; posted work runs in RunPosted() (and Advance()).
class ManualScheduler : public IScheduler {
public:
    std::uint64_t NowMs() override;
    std::uintptr_t StartTimer(unsigned periodMs, std::function<void()> tick) override;
    void StopTimer(std::uintptr_t handle) override;
    void Post(std::function<void()> work) override;

    // Runs posted work (including work posted while running) until the queue is empty.
    // Returns the number of items run.
    int RunPosted();
    // Moves the clock forward, firing due timers in time order (and posted work after each).
    void Advance(std::uint64_t ms);
    std::size_t ActiveTimers() const;

private:
    struct Timer {
        unsigned period;
        std::uint64_t due;
        std::function<void()> tick;
    };
    mutable std::mutex mutex_;
    std::uint64_t now_ = 0;
    std::uintptr_t nextHandle_ = 1;
    std::map<std::uintptr_t, Timer> timers_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace Toolkit
