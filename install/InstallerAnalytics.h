#pragma once
// The installer's analytics session: the tracker configuration built from the settings, the
// start-up and crash reports, and the release that sends what is still queued. Called by the
// entry point on the main thread (the crash report on whichever thread crashed).
struct InstallerSettings;

namespace InstallerAnalytics {

// Starts the process-wide tracker when analytics is enabled: application name = product name
// + DlAppNameSuffix, version = ProductVersion, store = ExeFileName, downloaded product =
// ProductName and DlAppVersion. Then reports a failed HTTP library start-up, which happened
// before any tracker existed.
void Start(const InstallerSettings& settings, bool curlInitFailed);

// Releases the tracker (flushing its queue) when analytics is enabled.
void Release(const InstallerSettings& settings);

// The crash handler's report: the "崩溃退出" task event, then the tracker's crash report.
// Does nothing with analytics off or without a tracker.
void ReportCrash();

}  // namespace InstallerAnalytics
