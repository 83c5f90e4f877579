#include "analytics/core/LocalTime.h"

namespace collect::detail {

// The C runtime's own thread-safe form; it refuses times before 1970 and past 3000.
bool LocalTime(std::time_t seconds, std::tm& out) {
    std::tm local{};
    if (localtime_s(&local, &seconds) != 0) return false;
    out = local;
    return true;
}

}  // namespace collect::detail
