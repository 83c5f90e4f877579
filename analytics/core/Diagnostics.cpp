#include "analytics/core/Diagnostics.h"

#include <cstdio>

namespace collect::detail {

void ReportError(std::string_view text) {
    if (text.empty()) return;
    // stderr is unbuffered: one fwrite becomes one write(2), so lines stay whole.
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace collect::detail
