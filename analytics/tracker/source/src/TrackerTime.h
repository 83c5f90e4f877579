#pragma once
// Date-time values of the tracker: signed 64-bit numbers that mean milliseconds since
// 1970-01-01 UTC from 157789440000 on (1975-01-01) and seconds below that, so callers may pass
// either unit.
#include <cstdint>
#include <string>

namespace varnel::tracking::time {

inline constexpr std::int64_t kMillisecondsThreshold = 157789440000;

struct SplitTime {
    std::int64_t seconds = 0;
    std::int32_t milliseconds = 0;
};

// Seconds and milliseconds of a date-time value by the rule above.
SplitTime Split(std::int64_t value);

// "%04d-%02d-%02d %02d:%02d:%02d.%03d" of the local time of a date-time value; "" when the
// value is outside what the system calendar can show.
std::string FormatLocal(std::int64_t value);

// Now, in milliseconds since 1970-01-01 UTC.
std::int64_t NowMilliseconds();

}  // namespace varnel::tracking::time
