#include "analytics/tracker/source/src/UsageTrackerWrapper.h"

#include <cstdio>
#include <cstring>

namespace varnel::tracking {

UsageTrackerWrapper::UsageTrackerWrapper(std::unique_ptr<UsageTracker> impl) : impl_(std::move(impl)) {}

UsageTrackerWrapper::~UsageTrackerWrapper() = default;

template <typename Call>
void UsageTrackerWrapper::guarded(const char* failureLine, Call&& call) noexcept {
    try {
        if (impl_) call(*impl_);
    } catch (...) {
        try {
            if (impl_ && impl_->getTrackLogger() != nullptr) {
                // One write of the whole line, so lines of concurrent callers stay whole.
                std::string line = std::string(failureLine) + "\n";
                std::fwrite(line.data(), 1, line.size(), stdout);
                std::fflush(stdout);
            }
        } catch (...) {
        }
    }
}

void UsageTrackerWrapper::trackActivity(const VnContextProperties* properties) {
    guarded("Failed to trackActivity", [&](UsageTracker& t) { t.trackActivity(properties); });
}

void UsageTrackerWrapper::trackLaunch(const VnContextProperties* properties) {
    guarded("Failed to trackLaunch", [&](UsageTracker& t) { t.trackLaunch(properties); });
}

void UsageTrackerWrapper::trackLogin(const VnUserInfo& user, bool success, const std::string& reason,
                                     const VnContextProperties* properties) {
    guarded("Failed to trackLogin", [&](UsageTracker& t) { t.trackLogin(user, success, reason, properties); });
}

void UsageTrackerWrapper::trackClick(const VnEventClick& event, const VnContextProperties* properties) {
    guarded("Failed to trackClick", [&](UsageTracker& t) { t.trackClick(event, properties); });
}

void UsageTrackerWrapper::trackView(const VnEventView& event, const VnContextProperties* properties) {
    guarded("Failed to trackView", [&](UsageTracker& t) { t.trackView(event, properties); });
}

void UsageTrackerWrapper::trackCashier(const VnEventCashier& event, const VnContextProperties* properties) {
    guarded("Failed to trackCashier", [&](UsageTracker& t) { t.trackCashier(event, properties); });
}

void UsageTrackerWrapper::trackShare(const VnEventShare& event, const VnContextProperties* properties) {
    guarded("Failed to trackShare", [&](UsageTracker& t) { t.trackShare(event, properties); });
}

void UsageTrackerWrapper::trackTask(const VnEventTask& event, const VnContextProperties* properties) {
    guarded("Failed to trackTask", [&](UsageTracker& t) { t.trackTask(event, properties); });
}

void UsageTrackerWrapper::trackFile(const VnEventFile& event, const VnContextProperties* properties) {
    guarded("Failed to trackFile", [&](UsageTracker& t) { t.trackFile(event, properties); });
}

void UsageTrackerWrapper::trackOrder(const VnEventOrder& event, const VnContextProperties* properties) {
    guarded("Failed to trackOrder", [&](UsageTracker& t) { t.trackOrder(event, properties); });
}

void UsageTrackerWrapper::trackPayment(const VnEventPayment& event, const VnContextProperties* properties) {
    guarded("Failed to trackPayment", [&](UsageTracker& t) { t.trackPayment(event, properties); });
}

void UsageTrackerWrapper::trackUninstall(const std::string& reason, const VnContextProperties* properties) {
    guarded("Failed to trackUninstall", [&](UsageTracker& t) { t.trackUninstall(reason, properties); });
}

void UsageTrackerWrapper::trackCrash(const std::string& reason) {
    guarded("Failed to trackCrash", [&](UsageTracker& t) { t.trackCrash(reason); });
}

void UsageTrackerWrapper::trackUpdate(const VnEventUpdate& event, const VnContextProperties* properties) {
    guarded("Failed to trackUpdate", [&](UsageTracker& t) { t.trackUpdate(event, properties); });
}

void UsageTrackerWrapper::trackAppOpenNotification(const VnAppOpenNotification* notification,
                                                   const VnContextProperties* properties) {
    guarded("Failed to trackAppOpenNotification",
            [&](UsageTracker& t) { t.trackAppOpenNotification(notification, properties); });
}

void UsageTrackerWrapper::setL10nLocale(const std::string& locale) {
    // The implementation throws nothing here; the guard only keeps the wrapper's promise.
    try {
        if (impl_) impl_->setL10nLocale(locale);
    } catch (...) {
    }
}

TrackLogger* UsageTrackerWrapper::getTrackLogger() { return nullptr; }

}  // namespace varnel::tracking
