#include "install/InstallerAnalytics.h"

#include "analytics/tracker/source/src/UsageTracker.h"
#include "config/InstallerSettings.h"
#include "install/ReportTaskEvent.h"
#include "utils/StringUtils.h"

using varnel::tracking::TrackerConfig;
using varnel::tracking::UsageTracker;

namespace InstallerAnalytics {

void Start(const InstallerSettings& settings, bool curlInitFailed) {
    if (!settings.IsEnableAppAnalytics) return;
    TrackerConfig config;
    config.appName = Utils::ToUtf8(settings.ProductName + settings.DlAppNameSuffix);
    config.appVersion = Utils::ToUtf8(settings.ProductVersion);
    config.appStore = Utils::ToUtf8(settings.ExeFileName);
    config.dlAppId = Utils::ToUtf8(settings.ProductName);
    config.dlAppVersion = Utils::ToUtf8(settings.DlAppVersion);
    UsageTracker::start(config);
    if (curlInitFailed) ReportTaskEvent(kTaskCurlInitFailed);
}

void Release(const InstallerSettings& settings) {
    if (settings.IsEnableAppAnalytics) UsageTracker::release();
}

void ReportCrash() {
    if (!InstallerSettings::Instance().IsEnableAppAnalytics) return;
    const auto tracker = UsageTracker::instance();
    if (!tracker) return;
    ReportTaskEvent(kTaskCrashExit);
    tracker->trackCrash(kCrashReason);
}

}  // namespace InstallerAnalytics
