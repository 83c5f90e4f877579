// The platform-neutral parts of the system information.
#include "utils/SystemInfo.h"

#include <atomic>

namespace Utils {
namespace {

std::atomic<ScreenSizeProvider> g_screenSizeProvider{nullptr};

}  // namespace

void SetScreenSizeProvider(ScreenSizeProvider provider) { g_screenSizeProvider.store(provider); }

ScreenSize PrimaryScreenSize() {
    const ScreenSizeProvider provider = g_screenSizeProvider.load();
    if (!provider) return {};
    const ScreenSize size = provider();
    if (size.width <= 0 || size.height <= 0) return {};
    return size;
}

}  // namespace Utils
