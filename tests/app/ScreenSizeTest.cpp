#include <gtest/gtest.h>

#include <cstdlib>

#include "app/ScreenSize.h"
#include "tests/support/ScopedEnv.h"

TEST(ScreenSize_Provider, UnsetGivesZeroAndTheProviderIsAskedEachTime) {
    Utils::SetScreenSizeProvider(nullptr);
    EXPECT_EQ(Utils::PrimaryScreenSize().width, 0);
    EXPECT_EQ(Utils::PrimaryScreenSize().height, 0);
    Utils::SetScreenSizeProvider([] { return Utils::ScreenSize{1920, 1080}; });
    EXPECT_EQ(Utils::PrimaryScreenSize().width, 1920);
    EXPECT_EQ(Utils::PrimaryScreenSize().height, 1080);
    // Half an answer is no answer.
    Utils::SetScreenSizeProvider([] { return Utils::ScreenSize{1920, -1}; });
    EXPECT_EQ(Utils::PrimaryScreenSize().width, 0);
    Utils::SetScreenSizeProvider(nullptr);
}

TEST(ScreenSize_Gdk, ThePrimaryMonitorWithADisplayAndZeroWithout) {
    {
        testsupport::ScopedEnv noDisplay("DISPLAY", ":31999");  // nothing listens there
        testsupport::ScopedEnv noWayland("WAYLAND_DISPLAY", "qv-no-such-wayland-0");
        const Utils::ScreenSize none = GdkPrimaryScreenSize();
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
