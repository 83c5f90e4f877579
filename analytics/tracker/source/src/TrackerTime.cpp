#include "analytics/tracker/source/src/TrackerTime.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "analytics/core/LocalTime.h"

namespace varnel::tracking::time {

SplitTime Split(std::int64_t value) {
    if (value < kMillisecondsThreshold) return {value, 0};
    return {value / 1000, static_cast<std::int32_t>(value % 1000)};
}

std::string FormatLocal(std::int64_t value) {
    const SplitTime t = Split(value);
    const std::time_t seconds = static_cast<std::time_t>(t.seconds);
    std::tm local{};
    if (!collect::detail::LocalTime(seconds, local)) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(t.milliseconds));
    return text;
}

std::int64_t NowMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace varnel::tracking::time
