#include "install/ReportTaskEvent.h"

#include "analytics/tracker/source/src/UsageTracker.h"
#include "analytics/tracker/source/src/VnContextProperties.h"
#include "analytics/tracker/source/src/VnEvents.h"
#include "config/InstallerSettings.h"
#include "utils/StringUtils.h"

using namespace varnel::tracking;

const TaskProperties& InstallerTaskProperties() {
    static const TaskProperties properties = {{L"AB", L"IN"}};
    return properties;
}

void ReportTaskEvent(const std::wstring& taskName, const std::wstring& reason, float elapsed,
                     const TaskProperties& properties) {
    if (!InstallerSettings::Instance().IsEnableAppAnalytics) return;
    const std::shared_ptr<UsageTracker> tracker = UsageTracker::instance();
    if (!tracker) return;
    try {
        VnContextProperties context;
        if (const auto ab = properties.find(L"AB"); ab != properties.end()) {
            // A malformed group throws from the check: the event still goes, without it.
            try {
                const std::string group = Utils::ToUtf8(ab->second);
                if (VnContextProperties::isValidABValue(group))
                    context.setProperty("vnc_ab", group, {static_cast<int>(VnEvent::Task)});
            } catch (...) {
            }
        }
        VnEventTask task;
        task.name = Utils::ToUtf8(taskName);
        task.reason = Utils::ToUtf8(reason);
        task.elapsed = vnValue(elapsed);
        tracker->trackTask(task, &context);
    } catch (...) {
        // An invalid A/B group (or anything else here) must never reach the installation.
    }
}
