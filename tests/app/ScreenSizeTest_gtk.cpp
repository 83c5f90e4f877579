#include <gtest/gtest.h>

#include <cstdlib>

#include "app/ScreenSize.h"
#include "tests/support/ScopedEnv.h"

TEST(ScreenSize_Gdk, ThePrimaryMonitorWithADisplayAndZeroWithout) {
    {
        testsupport::ScopedEnv noDisplay("DISPLAY", ":31999");  // nothing listens there
        testsupport::ScopedEnv noWayland("WAYLAND_DISPLAY", "qv-no-such-wayland-0");
        const Utils::ScreenSize none = PrimaryMonitorSize();
        EXPECT_EQ(none.width, 0);
        EXPECT_EQ(none.height, 0);
    }
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no display: the test script runs this under Xvfb";
    InstallScreenSizeProvider();
    const Utils::ScreenSize size = Utils::PrimaryScreenSize();
    Utils::SetScreenSizeProvider(nullptr);
    EXPECT_GT(size.width, 0);
    EXPECT_GT(size.height, 0);
}
