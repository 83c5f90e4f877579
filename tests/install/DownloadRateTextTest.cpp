// The words for the download's speed and time left.
#include <gtest/gtest.h>

#include <cmath>

#include "install/DownloadRateText.h"

using namespace DownloadRateText;

TEST(DownloadRateText_Speed, DecimalUnitsChosenAfterRounding) {
    EXPECT_EQ(Speed(0), L"0.0 KB/s");
    EXPECT_EQ(Speed(5430), L"5.4 KB/s");
    EXPECT_EQ(Speed(9960), L"10 KB/s");
    EXPECT_EQ(Speed(850000), L"850 KB/s");
    EXPECT_EQ(Speed(999600), L"1.0 MB/s");
    EXPECT_EQ(Speed(12300000), L"12.3 MB/s");
    EXPECT_EQ(Speed(999900000), L"999.9 MB/s");
    EXPECT_EQ(Speed(999960000), L"1.0 GB/s");
    EXPECT_EQ(Speed(-1), L"");
    EXPECT_EQ(Speed(NAN), L"");
    EXPECT_EQ(Speed(INFINITY), L"");
}

TEST(DownloadRateText_TimeLeft, RoundedCalmlyAtEveryScale) {
    const struct {
        double seconds;
        TimeLeft expected;
    } cases[] = {
        {0.0, {1, TimeUnit::kSeconds}},     {0.2, {1, TimeUnit::kSeconds}},
        {7.3, {8, TimeUnit::kSeconds}},     {9.99, {10, TimeUnit::kSeconds}},
        {12.4, {10, TimeUnit::kSeconds}},   {43.0, {45, TimeUnit::kSeconds}},
        {57.4, {55, TimeUnit::kSeconds}},   {57.6, {1, TimeUnit::kMinutes}},
        {150.0, {3, TimeUnit::kMinutes}},   {3569.0, {59, TimeUnit::kMinutes}},
        {3571.0, {1, TimeUnit::kHours}},    {7000.0, {2, TimeUnit::kHours}},
        {99 * 3600.0, {99, TimeUnit::kHours}},
    };
    for (const auto& c : cases) {
        const auto got = RoundTimeLeft(c.seconds);
        ASSERT_TRUE(got) << c.seconds;
        EXPECT_EQ(*got, c.expected) << c.seconds;
    }
    EXPECT_FALSE(RoundTimeLeft(100 * 3600.0)) << "days left say nothing useful";
    EXPECT_FALSE(RoundTimeLeft(-1));
    EXPECT_FALSE(RoundTimeLeft(NAN));
    EXPECT_FALSE(RoundTimeLeft(INFINITY));
}

TEST(DownloadRateText_Compose, FillsOnlyTheFirstPlaceholdersAndKeepsBrokenTextsHarmless) {
    EXPECT_EQ(Compose(L"%s · about %d s left", L"12.3 MB/s", 8), L"12.3 MB/s · about 8 s left");
    EXPECT_EQ(Compose(L"約剩 %d 秒 (%s)", L"1.0 MB/s", 3), L"約剩 3 秒 (1.0 MB/s)");
    EXPECT_EQ(Compose(L"%s %s %d %d %n %x %% %", L"S", 1), L"S %s 1 %d %n %x % %");
    EXPECT_EQ(Compose(L"", L"S", 1), L"");
}

namespace {
std::wstring Phrases(const std::wstring& id) {
    if (id == kSecondsLeftId) return L"%s · about %d s left";
    if (id == kMinutesLeftId) return L"%s · about %d min left";
    if (id == kHoursLeftId) return L"%s · about %d h left";
    return id;
}
}  // namespace

TEST(DownloadRateText_Line, SpeedAloneWithoutATimeAndNothingWithoutASpeed) {
    EXPECT_EQ(Line(std::nullopt, 8.0, Phrases), L"");
    EXPECT_EQ(Line(NAN, 8.0, Phrases), L"");
    EXPECT_EQ(Line(12.3e6, std::nullopt, Phrases), L"12.3 MB/s");
    EXPECT_EQ(Line(12.3e6, 1e9, Phrases), L"12.3 MB/s") << "too long to say";
    EXPECT_EQ(Line(12.3e6, 7.2, Phrases), L"12.3 MB/s · about 8 s left");
    EXPECT_EQ(Line(999.9e6, 3550.0, Phrases), L"999.9 MB/s · about 59 min left");
    EXPECT_EQ(Line(2e5, 9000.0, Phrases), L"200 KB/s · about 3 h left");
    EXPECT_EQ(Line(2e5, 9000.0, nullptr), L"200 KB/s");
}
