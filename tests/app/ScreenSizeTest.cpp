#include <gtest/gtest.h>

#include "app/ScreenSize.h"

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
