#include "toolkit/GlibScheduler.h"

#include <glib.h>

namespace Toolkit {

struct GlibScheduler::TimerEntry {
    GlibScheduler* owner;
    std::uintptr_t handle;
    guint source = 0;
    std::function<void()> tick;
};

std::uint64_t GlibScheduler::NowMs() { return static_cast<std::uint64_t>(g_get_monotonic_time() / 1000); }

int GlibScheduler::OnTimer(void* data) {
    auto* raw = static_cast<TimerEntry*>(data);
    // Keep the entry alive while it runs: the tick may stop its own timer.
    auto it = raw->owner->timers_.find(raw->handle);
    if (it == raw->owner->timers_.end()) return G_SOURCE_REMOVE;
    std::shared_ptr<TimerEntry> entry = it->second;
    entry->tick();
    return raw->owner->timers_.count(entry->handle) ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

std::uintptr_t GlibScheduler::StartTimer(unsigned periodMs, std::function<void()> tick) {
    auto entry = std::make_shared<TimerEntry>();
    entry->owner = this;
    entry->handle = nextHandle_++;
    entry->tick = std::move(tick);
    entry->source = g_timeout_add(periodMs, &GlibScheduler::OnTimer, entry.get());
    timers_.emplace(entry->handle, entry);
    return entry->handle;
}

void GlibScheduler::StopTimer(std::uintptr_t handle) {
    auto it = timers_.find(handle);
    if (it == timers_.end()) return;
    std::shared_ptr<TimerEntry> entry = it->second;
    timers_.erase(it);
    // Removing the source of the timer that is running right now is left to its return value.
    GSource* source = g_main_context_find_source_by_id(nullptr, entry->source);
    if (source && !g_source_is_destroyed(source) && g_main_current_source() != source) g_source_remove(entry->source);
}

void GlibScheduler::Post(std::function<void()> work) {
    bool schedule = false;
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(work));
        if (!drainScheduled_) {
            drainScheduled_ = true;
            schedule = true;
        }
    }
    if (schedule) g_idle_add_full(G_PRIORITY_DEFAULT, &GlibScheduler::OnPosted, this, nullptr);
}

int GlibScheduler::OnPosted(void* data) {
    auto* self = static_cast<GlibScheduler*>(data);
    // One item per dispatch, with the next dispatch scheduled before the item runs: an item
    // may start a nested main loop (a modal box opened by a posted event), and work posted
    // before or during that loop must still run inside it, in posting order.
    std::function<void()> work;
    bool more = false;
    {
        std::lock_guard lock(self->mutex_);
        if (!self->posted_.empty()) {
            work = std::move(self->posted_.front());
            self->posted_.pop_front();
        }
        more = !self->posted_.empty();
        if (!more) self->drainScheduled_ = false;
    }
    if (more) g_idle_add_full(G_PRIORITY_DEFAULT, &GlibScheduler::OnPosted, self, nullptr);
    if (work) work();
    return G_SOURCE_REMOVE;
}

}  // namespace Toolkit
