#include "install/InstallerTaskEvents.h"

#include <cmath>
#include <cwchar>

namespace InstallerTaskEvents {
namespace {

// The failure codes are printed as "%ld" of the value truncated; a value no long can hold
// (a package may report anything) prints as 0 rather than as undefined behaviour.
long Truncated(double value) {
    if (!std::isfinite(value) || value >= 9.2e18 || value <= -9.2e18) return 0;
    return static_cast<long>(value);
}

}  // namespace

std::wstring DurationText(uint32_t milliseconds) {
    const uint32_t t = milliseconds / 1000;
    const unsigned seconds = t % 60, minutes = (t / 60) % 60, hours = t / 3600;
    wchar_t buffer[100];
    if (hours > 0) std::swprintf(buffer, 100, L"%u时%u分%u秒", hours, minutes, seconds);
    else std::swprintf(buffer, 100, L"%u分%u秒", minutes, seconds);
    return buffer;
}

std::wstring DownloadDurationTask(uint32_t milliseconds) {
    return std::wstring(kDownloadDurationPrefix) + DurationText(milliseconds);
}

// The message goes in whole and the result is shortened afterwards: swprintf into a fixed
// buffer would fail outright (and lose the event) on a long message.
std::wstring DownloadFailureReason(double code, const std::wstring& message, double freeGiB, bool writable,
                                   uint32_t network) {
    wchar_t head[64], tail[160];
    std::swprintf(head, 64, L"1.code=%ld；2.msg=", Truncated(code));
    std::swprintf(tail, 160, L"；3.缓存磁盘容量=%.2fG；4.缓存读写权限=%ls；5.服务器连接状态code=%d",
                  std::isfinite(freeGiB) ? freeGiB : 0.0, writable ? L"可读" : L"无权限", static_cast<int>(network));
    return ShortenOnCharacter(head + message + tail);
}

std::wstring InstallFailureReason(double code, const std::wstring& message) {
    wchar_t head[64];
    std::swprintf(head, 64, L"安装失败原因:1.code=%ld；2.msg=", Truncated(code));
    return ShortenOnCharacter(head + message);
}

}  // namespace InstallerTaskEvents
