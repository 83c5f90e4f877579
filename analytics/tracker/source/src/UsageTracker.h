#pragma once
// The tracker's public face: fifteen tracking operations and two service operations, and the one
// process-wide tracker that start() publishes.
//
//   varnel::tracking::UsageTracker::start(config);            // at start-up, main thread
//   if (auto tracker = varnel::tracking::UsageTracker::instance()) {
//       VnContextProperties context;
//       tracker->trackTask(task, &context);                   // never throws
//   }
//   varnel::tracking::UsageTracker::release();                // at shutdown: flushes, then stops
//
// The published tracker is a UsageTrackerWrapper: its tracking calls never throw. Tracking calls
// may come from any thread; a login and setL10nLocale change the collection core's identity and
// super properties and must not overlap other calls. start and release belong to one thread
// (the main thread) and must not overlap each other.
#include <memory>
#include <string>

#include "analytics/tracker/source/src/TrackerConfig.h"
#include "analytics/tracker/source/src/TrackerEnvironment.h"
#include "analytics/tracker/source/src/VnContextProperties.h"
#include "analytics/tracker/source/src/VnEvents.h"

namespace varnel::tracking {

class TrackLogger;

class UsageTracker {
public:
    virtual ~UsageTracker();

    // `properties` must not be null: each operation copies the extra properties registered
    // for its own event kind.
    virtual void trackActivity(const VnContextProperties* properties) = 0;
    virtual void trackLaunch(const VnContextProperties* properties) = 0;
    virtual void trackLogin(const VnUserInfo& user, bool success, const std::string& reason,
                            const VnContextProperties* properties) = 0;
    virtual void trackClick(const VnEventClick& event, const VnContextProperties* properties) = 0;
    virtual void trackView(const VnEventView& event, const VnContextProperties* properties) = 0;
    virtual void trackCashier(const VnEventCashier& event, const VnContextProperties* properties) = 0;
    virtual void trackShare(const VnEventShare& event, const VnContextProperties* properties) = 0;
    virtual void trackTask(const VnEventTask& event, const VnContextProperties* properties) = 0;
    virtual void trackFile(const VnEventFile& event, const VnContextProperties* properties) = 0;
    virtual void trackOrder(const VnEventOrder& event, const VnContextProperties* properties) = 0;
    virtual void trackPayment(const VnEventPayment& event, const VnContextProperties* properties) = 0;
    virtual void trackUninstall(const std::string& reason, const VnContextProperties* properties) = 0;
    virtual void trackCrash(const std::string& reason) = 0;
    virtual void trackUpdate(const VnEventUpdate& event, const VnContextProperties* properties) = 0;
    // `notification` may be null (the call then fails its validation).
    virtual void trackAppOpenNotification(const VnAppOpenNotification* notification,
                                          const VnContextProperties* properties) = 0;
    // Remembers the locale ("en_US") and registers the three locale properties again.
    virtual void setL10nLocale(const std::string& locale) = 0;
    // The tracker's log file, or null.
    virtual TrackLogger* getTrackLogger() = 0;

    // Sets up a tracker from `config` (failures are swallowed: a tracker whose set-up failed
    // still validates its calls and drops their events) and publishes it, releasing the tracker
    // published before. The first form uses the running process's folders and sources.
    static void start(const TrackerConfig& config);
    static void start(const TrackerConfig& config, const TrackerEnvironment& environment);
    // The published tracker; null before the first start and after release.
    static std::shared_ptr<UsageTracker> instance();
    // Drops the published tracker. When this was the last owner, the tracker is destroyed here:
    // it saves its state, sends what is queued (up to three attempts) and stops the core.
    static void release();
};

}  // namespace varnel::tracking
