#pragma once
// The installer's one analytics call: a task event named in the installer's own words, with
// the installer's A/B group attached. Safe from any thread; never throws and never changes the
// installation (with analytics off or no tracker it does nothing).
#include <map>
#include <string>

// Task names the start-up and the crash handler report.
inline constexpr wchar_t kTaskCurlInitFailed[] = L"libcurl初始化失败";
inline constexpr wchar_t kTaskCrashExit[] = L"崩溃退出";
inline constexpr char kCrashReason[] = "崩溃";

using TaskProperties = std::map<std::wstring, std::wstring>;

// The pair every installer call passes: "AB" = "IN".
const TaskProperties& InstallerTaskProperties();

// Tracks a task event "vn_task_name" = `taskName` (UTF-8), "vn_reason" = `reason` when not
// empty, "vn_task_elapsed" = `elapsed`, and "vnc_ab" = the "AB" property when it is a valid
// A/B group.
void ReportTaskEvent(const std::wstring& taskName, const std::wstring& reason, float elapsed,
                     const TaskProperties& properties);

// The common case: empty reason, elapsed 0, "AB" = "IN".
inline void ReportTaskEvent(const std::wstring& taskName) {
    ReportTaskEvent(taskName, L"", 0.0f, InstallerTaskProperties());
}
