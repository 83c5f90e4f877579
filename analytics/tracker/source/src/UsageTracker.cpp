#include "analytics/tracker/source/src/UsageTracker.h"

#include <mutex>

#include "analytics/tracker/source/src/UsageTrackerImpl.h"
#include "analytics/tracker/source/src/UsageTrackerWrapper.h"
#include "utils/Log.h"

namespace varnel::tracking {
namespace {

std::mutex g_lock;
std::shared_ptr<UsageTracker> g_published;  // guarded by g_lock

}  // namespace

UsageTracker::~UsageTracker() = default;

void UsageTracker::start(const TrackerConfig& config) { start(config, TrackerEnvironment::System()); }

void UsageTracker::start(const TrackerConfig& config, const TrackerEnvironment& environment) {
    // The old tracker goes first: its release shuts the collection core down, and the new
    // tracker must set up a core of its own (endpoint and identity) rather than lose the old one
    // a moment later.
    release();
    try {
        auto impl = std::make_unique<UsageTrackerImpl>(config, environment);
        try {
            impl->init();
        } catch (const std::exception& e) {
            QLOG(L"tracker set-up failed: %S\r\n", e.what());
        } catch (...) {
            QLOG(L"tracker set-up failed\r\n");
        }
        auto wrapper = std::make_shared<UsageTrackerWrapper>(std::move(impl));
        std::shared_ptr<UsageTracker> previous;
        {
            std::lock_guard guard(g_lock);
            previous = std::exchange(g_published, std::move(wrapper));
        }
        // `previous` (a tracker a concurrent start published) is released here, outside the lock.
    } catch (...) {
        // Out of memory while building the tracker: run without one.
    }
}

std::shared_ptr<UsageTracker> UsageTracker::instance() {
    std::lock_guard guard(g_lock);
    return g_published;
}

void UsageTracker::release() {
    std::shared_ptr<UsageTracker> previous;
    {
        std::lock_guard guard(g_lock);
        previous = std::move(g_published);
        g_published.reset();
    }
    // The last owner destroys the tracker here, outside the lock: its release may wait for the
    // network.
}

}  // namespace varnel::tracking
