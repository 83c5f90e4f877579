#pragma once
// The tracker callers get: every tracking call goes to the implementation inside a catch-all, so
// tracking never fails for the caller. When something is caught and the implementation has a
// log file, one line "Failed to <operation>" goes to standard output.
//
// Owns its implementation (destroying the wrapper releases the tracker). Calls may come from any
// thread, as the implementation allows.
#include <memory>

#include "analytics/tracker/source/src/UsageTracker.h"

namespace varnel::tracking {

class UsageTrackerWrapper final : public UsageTracker {
public:
    explicit UsageTrackerWrapper(std::unique_ptr<UsageTracker> impl);
    ~UsageTrackerWrapper() override;
    UsageTrackerWrapper(const UsageTrackerWrapper&) = delete;
    UsageTrackerWrapper& operator=(const UsageTrackerWrapper&) = delete;

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
    // The wrapper has no log file of its own: always null.
    TrackLogger* getTrackLogger() override;

    // The implementation, for diagnostics and tests.
    UsageTracker* implementation() const { return impl_.get(); }

private:
    template <typename Call>
    void guarded(const char* failureLine, Call&& call) noexcept;

    std::unique_ptr<UsageTracker> impl_;
};

}  // namespace varnel::tracking
