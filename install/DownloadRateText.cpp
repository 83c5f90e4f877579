#include "install/DownloadRateText.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace DownloadRateText {

namespace {

std::wstring Number(double value, int decimals) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.*f", decimals, value);
    return text;
}

}  // namespace

std::wstring Speed(double bytesPerSecond) {
    if (!std::isfinite(bytesPerSecond) || bytesPerSecond < 0.0) return {};
    const double kb = bytesPerSecond / 1000.0;
    // The unit is chosen after rounding, so 999.96 KB/s reads "1.0 MB/s", not "1000 KB/s".
    if (std::round(kb * 10.0) < 100.0) return Number(kb, 1) + L" KB/s";
    if (std::round(kb) < 1000.0) return Number(kb, 0) + L" KB/s";
    const double mb = kb / 1000.0;
    if (std::round(mb * 10.0) < 10000.0) return Number(mb, 1) + L" MB/s";
    return Number(mb / 1000.0, 1) + L" GB/s";
}

std::optional<TimeLeft> RoundTimeLeft(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0.0) return std::nullopt;
    // "about 0 s" would say nothing; the last second reads as one.
    if (seconds < 10.0) return TimeLeft{std::max(1, static_cast<int>(std::ceil(seconds))), TimeUnit::kSeconds};
    if (seconds < 57.5) return TimeLeft{static_cast<int>(std::round(seconds / 5.0)) * 5, TimeUnit::kSeconds};
    if (seconds < 3570.0) return TimeLeft{std::max(1, static_cast<int>(std::round(seconds / 60.0))), TimeUnit::kMinutes};
    const double hours = std::round(seconds / 3600.0);
    if (hours > 99.0) return std::nullopt;
    return TimeLeft{static_cast<int>(hours), TimeUnit::kHours};
}

std::wstring Compose(const std::wstring& phrase, const std::wstring& speed, int count) {
    std::wstring out;
    bool speedDone = false;
    bool countDone = false;
    for (std::size_t i = 0; i < phrase.size(); ++i) {
        const wchar_t next = i + 1 < phrase.size() ? phrase[i + 1] : L'\0';
        if (phrase[i] == L'%' && next == L'%') {
            out += L'%';
            ++i;
        } else if (phrase[i] == L'%' && next == L's' && !speedDone) {
            out += speed;
            speedDone = true;
            ++i;
        } else if (phrase[i] == L'%' && next == L'd' && !countDone) {
            out += std::to_wstring(count);
            countDone = true;
            ++i;
        } else {
            out += phrase[i];
        }
    }
    return out;
}

std::wstring Line(std::optional<double> bytesPerSecond, std::optional<double> secondsLeft, Lookup texts) {
    if (!bytesPerSecond) return {};
    const std::wstring speed = Speed(*bytesPerSecond);
    if (speed.empty()) return {};
    const std::optional<TimeLeft> left = secondsLeft ? RoundTimeLeft(*secondsLeft) : std::nullopt;
    if (!left || !texts) return speed;
    const wchar_t* id = left->unit == TimeUnit::kSeconds   ? kSecondsLeftId
                        : left->unit == TimeUnit::kMinutes ? kMinutesLeftId
                                                           : kHoursLeftId;
    return Compose(texts(id), speed, left->count);
}

}  // namespace DownloadRateText
