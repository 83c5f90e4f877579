#include "analytics/core/LocalTime.h"

namespace collect::detail {

bool LocalTime(std::time_t seconds, std::tm& out) {
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) return false;
    out = local;
    return true;
}

}  // namespace collect::detail
