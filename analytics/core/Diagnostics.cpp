#include "analytics/core/Diagnostics.h"

#include <atomic>
#include <cstdio>

namespace collect::detail {
namespace {

std::atomic<ReportHandler> g_handler{nullptr};

}  // namespace

void SetReportHandler(ReportHandler handler) { g_handler.store(handler); }

void ReportError(std::string_view text) {
    if (text.empty()) return;
    if (const ReportHandler handler = g_handler.load()) {
        handler(text);
        return;
    }
    // stderr is unbuffered: one fwrite becomes one write(2), so lines stay whole.
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace collect::detail
