#pragma once
// The tracker itself: validates each typed record, turns it into an event name and a property
// map for the collection core, and decides when queued records are sent. It throws VnException
// on bad input; callers reach it only through UsageTrackerWrapper, which swallows everything.
//
// Set-up (init) and destruction run on the owner's thread (the main thread). Tracking calls may
// come from any thread; the state below is guarded by one lock, the pending counter is atomic,
// and the core's queue guards itself. Destruction saves the state, flushes when records are
// pending and lets go of the collection core.
#include <memory>
#include <mutex>
#include <string>

#include "analytics/tracker/source/src/TrackerConfig.h"
#include "analytics/tracker/source/src/TrackerEnvironment.h"
#include "analytics/tracker/source/src/TrackerState.h"
#include "analytics/tracker/source/src/UsageTracker.h"

namespace collect {
class PropertiesNode;
}

namespace varnel::tracking {

class CollectCoreLease;
class TrackLogger;

class UsageTrackerImpl final : public UsageTracker {
public:
    static constexpr char kConfigFileSuffix[] = "_VNSConfigure.ini";
    static constexpr char kLogFileSuffix[] = "_VNSLog.txt";
    static constexpr char kRedirectionFile[] = "Set.ini";
    static constexpr int kFlushAttempts = 3;

    explicit UsageTrackerImpl(const TrackerConfig& config,
                              TrackerEnvironment environment = TrackerEnvironment::System());
    ~UsageTrackerImpl() override;
    UsageTrackerImpl(const UsageTrackerImpl&) = delete;
    UsageTrackerImpl& operator=(const UsageTrackerImpl&) = delete;

    // Finds the files, loads or creates the identity, opens the log, creates the collection core
    // and registers the common properties. Throws VnException (function "init") for a missing
    // appName, appVersion or appStore (before any file is touched) and when the core refuses the
    // identity; an edition other than 0 or 1 throws from toString after the core exists.
    void init();

    void trackActivity(const VnContextProperties* properties) override;
    void trackLaunch(const VnContextProperties* properties) override;
    void trackLogin(const VnUserInfo& user, bool success, const std::string& reason,
                    const VnContextProperties* properties) override;
    void trackClick(const VnEventClick& event, const VnContextProperties* properties) override;
    void trackView(const VnEventView& event, const VnContextProperties* properties) override;
    void trackCashier(const VnEventCashier& event, const VnContextProperties* properties) override;
    void trackShare(const VnEventShare& event, const VnContextProperties* properties) override;
    void trackTask(const VnEventTask& event, const VnContextProperties* properties) override;
    void trackFile(const VnEventFile& event, const VnContextProperties* properties) override;
    void trackOrder(const VnEventOrder& event, const VnContextProperties* properties) override;
    void trackPayment(const VnEventPayment& event, const VnContextProperties* properties) override;
    void trackUninstall(const std::string& reason, const VnContextProperties* properties) override;
    void trackCrash(const std::string& reason) override;
    void trackUpdate(const VnEventUpdate& event, const VnContextProperties* properties) override;
    void trackAppOpenNotification(const VnAppOpenNotification* notification,
                                  const VnContextProperties* properties) override;
    void setL10nLocale(const std::string& locale) override;
    TrackLogger* getTrackLogger() override;

    // For diagnostics and tests: a copy of the identity and files, the collection URL in use,
    // the pending counter, and whether the collection core was set up.
    struct Snapshot {
        bool loggedIn = false;
        std::string userId, distinctId, storedUrl, localFolder, configFilePath, logFilePath, locale;
        int vipLevel = 0;
        int pending = 0;
        bool hasCore = false;
    };
    Snapshot snapshot() const;
    std::string serverUrl() const;

private:
    // Set-up steps (UsageTrackerImplSetup.cpp); they run with stateLock_ held.
    void locateFiles();
    void loadIdentity();
    void newIdentity();
    void registerCommonProperties();

    // Finishing modes: "flush" sends everything now (up to three attempts); "pending" pauses
    // 1 ms and raises the counter.
    void finishFlush();
    void finishPending();
    bool flushCore();

    // Hands one event to the core with the extra properties of `kind`.
    void send(const char* eventName, collect::PropertiesNode& properties, const VnContextProperties* context,
              VnEvent kind);
    void applyLogin(const VnUserInfo& user);

    const std::string appName_;
    const std::string appVersion_;
    const std::string appStore_;
    const std::string dlAppId_;
    const std::string dlAppVersion_;
    const int edition_;
    std::string serverUrl_;  // the configured endpoint, or the default once init ran
    const TrackerEnvironment environment_;
    const std::string osName_;
    const std::string osVersion_;
    const std::string userAgent_;

    mutable std::mutex stateLock_;  // guards state_ apart from its atomic counter
    std::unique_ptr<TrackerState> state_;
    std::unique_ptr<TrackLogger> logger_;
    std::shared_ptr<CollectCoreLease> core_;  // set once by init; null when the core was refused
};

}  // namespace varnel::tracking
