#pragma once
// The calendar fields of a time in the process's local time zone (the TZ variable where the C
// runtime honours it), without the shared buffer of std::localtime: safe from any thread.
#include <ctime>

namespace collect::detail {

// False when the time cannot be expressed (out of the runtime's range); `out` is then unchanged.
bool LocalTime(std::time_t seconds, std::tm& out);

}  // namespace collect::detail
