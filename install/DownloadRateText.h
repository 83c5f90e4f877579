#pragma once
// The words for a download's speed and time left: "12.3 MB/s · about 8 s left".
//
// Speeds use decimal units (1 KB = 1000 bytes, 1 MB = 1000 KB), as download pages and
// browsers show them: under 1 MB/s in whole KB/s (one decimal below 10 KB/s), then MB/s with
// one decimal, then GB/s. The time left is rounded so it reads calmly: whole seconds under
// 10 s, steps of 5 s under a minute, whole minutes under an hour, whole hours up to 99 h;
// beyond that no time is given.
//
// The phrases come from the skin's texts (kSecondsLeftId, kMinutesLeftId, kHoursLeftId); in a
// phrase the first "%s" becomes the speed, the first "%d" the count and "%%" a percent sign.
// Any other '%' stays as it is, so a broken text can never read what is not there.
#include <optional>
#include <string>

namespace DownloadRateText {

inline constexpr wchar_t kSecondsLeftId[] = L"IDSpeedSecondsLeft";
inline constexpr wchar_t kMinutesLeftId[] = L"IDSpeedMinutesLeft";
inline constexpr wchar_t kHoursLeftId[] = L"IDSpeedHoursLeft";

enum class TimeUnit { kSeconds, kMinutes, kHours };
struct TimeLeft {
    int count;
    TimeUnit unit;
    bool operator==(const TimeLeft&) const = default;
};

// "850 KB/s", "12.3 MB/s"; "" for a negative or non-finite speed.
std::wstring Speed(double bytesPerSecond);
// The rounded time left; nothing for a negative, non-finite or too long time.
std::optional<TimeLeft> RoundTimeLeft(double seconds);
// `phrase` with the speed and count put in.
std::wstring Compose(const std::wstring& phrase, const std::wstring& speed, int count);

using Lookup = std::wstring (*)(const std::wstring& id);
// The whole line: "" without a speed, the speed alone without a time left, else the phrase
// of the time's unit looked up with `texts`.
std::wstring Line(std::optional<double> bytesPerSecond, std::optional<double> secondsLeft, Lookup texts);

}  // namespace DownloadRateText
