// The download's smoothed speed and time left, driven by an injected clock and byte counts.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include "download/DownloadCallback.h"
#include "install/DownloadRate.h"
#include "tests/support/TempDir.h"
#include "utils/PathText.h"

namespace {

constexpr double kMB = 1000.0 * 1000.0;

// A download whose files grow by `perSecond` bytes, sampled every `stepMs`.
struct SteadyFeed {
    DownloadRate rate;
    std::int64_t nowMs = 0;
    std::int64_t bytes = 0;

    void Run(std::int64_t forMs, double perSecond, std::int64_t stepMs = 250, double total = 0) {
        for (std::int64_t t = 0; t < forMs; t += stepMs) {
            nowMs += stepMs;
            bytes += static_cast<std::int64_t>(perSecond * static_cast<double>(stepMs) / 1000.0);
            rate.OnEvent(DL_CODE_PROGRESS, total > 0 ? static_cast<double>(bytes) / total : 0.0, nowMs,
                         [this] { return bytes; });
        }
    }
    void Event(std::int32_t code, double value = 0.0) {
        rate.OnEvent(code, value, nowMs, [this] { return bytes; });
    }
};

}  // namespace

TEST(DownloadRate_Speed, NothingUntilSteadyThenTheMeasuredSpeed) {
    SteadyFeed feed;
    feed.Event(DL_CODE_START, 1.0);
    EXPECT_FALSE(feed.rate.BytesPerSecond());
    feed.Run(1000, 2 * kMB);
    EXPECT_FALSE(feed.rate.BytesPerSecond()) << "one second is not steady yet";
    feed.Run(1000, 2 * kMB);
    ASSERT_TRUE(feed.rate.BytesPerSecond());
    EXPECT_NEAR(*feed.rate.BytesPerSecond(), 2 * kMB, 0.01 * kMB);
    EXPECT_FALSE(feed.rate.SecondsLeft()) << "a fraction of 0: the server announced no length";
}

TEST(DownloadRate_Speed, ZeroIntervalsAndEventFloodsAreGatheredIntoOneInterval) {
    SteadyFeed feed;
    feed.Event(DL_CODE_START, 1.0);
    feed.Run(2000, 1 * kMB, 500);
    // Many events at the same millisecond, with the bytes they bring.
    for (int i = 0; i < 50; ++i) {
        feed.bytes += 10000;
        feed.Event(DL_CODE_PROGRESS, 0.0);
    }
    ASSERT_TRUE(feed.rate.BytesPerSecond());
    EXPECT_TRUE(std::isfinite(*feed.rate.BytesPerSecond()));
    EXPECT_NEAR(*feed.rate.BytesPerSecond(), 1 * kMB, 0.01 * kMB) << "not yet an interval of its own";
    feed.Run(500, 1 * kMB, 500);
    // The 0.5 MB flood counts within the next interval, limited by the burst cap.
    EXPECT_GT(*feed.rate.BytesPerSecond(), 1 * kMB);
    EXPECT_LT(*feed.rate.BytesPerSecond(), 1.5 * kMB);
}

TEST(DownloadRate_Speed, SmoothedAgainstBurstsButFollowsARealChange) {
    SteadyFeed feed;
    feed.Event(DL_CODE_START, 1.0);
    feed.Run(4000, 1 * kMB, 500);
    // Half a second bringing what ten seconds would: buffered data let go at once.
    feed.nowMs += 500;
    feed.bytes += static_cast<std::int64_t>(10 * kMB);
    feed.Event(DL_CODE_PROGRESS, 0.0);
    EXPECT_LT(*feed.rate.BytesPerSecond(), 1.6 * kMB);
    feed.Run(4000, 1 * kMB, 500);
    EXPECT_NEAR(*feed.rate.BytesPerSecond(), 1 * kMB, 0.35 * kMB);
    // A lasting change of speed is followed within a few time constants.
    feed.Run(12000, 8 * kMB, 500);
    EXPECT_NEAR(*feed.rate.BytesPerSecond(), 8 * kMB, 0.5 * kMB);
    feed.Run(15000, 0.5 * kMB, 500);
    EXPECT_NEAR(*feed.rate.BytesPerSecond(), 0.5 * kMB, 0.1 * kMB);
}

TEST(DownloadRate_Speed, ASlowFirstIntervalDoesNotHoldTheSpeedDown) {
    SteadyFeed feed;
    feed.Event(DL_CODE_START, 1.0);
    feed.Run(500, 10000, 500);  // the connection still opening
    feed.Run(2500, 100 * kMB, 500);
    ASSERT_TRUE(feed.rate.BytesPerSecond());
    EXPECT_GT(*feed.rate.BytesPerSecond(), 75 * kMB);
}

TEST(DownloadRate_Speed, AStalledDownloadFallsWithTheTimersTicks) {
    SteadyFeed feed;
    feed.Event(DL_CODE_START, 1.0);
    feed.Run(3000, 4 * kMB, 500);
    for (int i = 0; i < 40; ++i) {
        feed.nowMs += 500;
        feed.rate.Tick(feed.nowMs, [&feed] { return feed.bytes; });
    }
    ASSERT_TRUE(feed.rate.BytesPerSecond());
    EXPECT_LT(*feed.rate.BytesPerSecond(), 0.01 * 4 * kMB);
    EXPECT_GE(*feed.rate.BytesPerSecond(), 0.0);
}

TEST(DownloadRate_TimeLeft, FromTheSmoothedSpeedAndTheReportedFraction) {
    SteadyFeed feed;
    const double total = 100 * kMB;
    feed.Event(DL_CODE_START, 1.0);
    feed.Run(3000, 5 * kMB, 500, total);
    ASSERT_TRUE(feed.rate.SecondsLeft());
    EXPECT_NEAR(*feed.rate.SecondsLeft(), (total - static_cast<double>(feed.bytes)) / (5 * kMB), 0.2);
    // A fraction that says nothing (0, negative, not a number) forgets the total.
    for (double bad : {0.0, -0.5, std::nan(""), 7.0}) {
        feed.Event(DL_CODE_PROGRESS, bad);
        EXPECT_FALSE(feed.rate.SecondsLeft()) << bad;
        feed.Event(DL_CODE_PROGRESS, static_cast<double>(feed.bytes) / total);
        EXPECT_TRUE(feed.rate.SecondsLeft()) << bad;
    }
}

TEST(DownloadRate_TimeLeft, TimerSamplesBetweenProgressEventsKeepItRight) {
    // Progress events once a second, timer samples in between: the bytes the timer sees must
    // not be set against the last event's older fraction (that would inflate the total by
    // the share that arrived since).
    SteadyFeed feed;
    const double total = 80 * kMB;
    feed.Event(DL_CODE_START, 1.0);
    for (int second = 0; second < 6; ++second) {
        feed.Event(DL_CODE_PROGRESS, static_cast<double>(feed.bytes) / total);
        for (int tick = 0; tick < 4; ++tick) {
            feed.nowMs += 250;
            feed.bytes += static_cast<std::int64_t>(kMB / 4);
            feed.rate.Tick(feed.nowMs, [&feed] { return feed.bytes; });
        }
    }
    ASSERT_TRUE(feed.rate.SecondsLeft());
    EXPECT_NEAR(*feed.rate.SecondsLeft(), (total - static_cast<double>(feed.bytes)) / kMB, 2.0);
}

TEST(DownloadRate_Events, TheEndOfTheDownloadHidesItAndANewAttemptStartsAfresh) {
    for (std::int32_t end : {DL_CODE_SUCCESS, DL_CODE_FAIL, 2001, 2002}) {
        SteadyFeed feed;
        feed.Event(5003);  // the previous copy's uninstaller: no download yet
        EXPECT_FALSE(feed.rate.Downloading());
        feed.Event(DL_CODE_START, 1.0);
        feed.Run(3000, 3 * kMB, 500, 90 * kMB);
        ASSERT_TRUE(feed.rate.BytesPerSecond()) << end;
        feed.Event(end, 0.5);
        EXPECT_FALSE(feed.rate.BytesPerSecond()) << end;
        EXPECT_FALSE(feed.rate.SecondsLeft()) << end;
        // Progress after the end (the package run's) changes nothing.
        feed.Run(3000, 3 * kMB, 500, 90 * kMB);
        EXPECT_FALSE(feed.rate.BytesPerSecond()) << end;
        // A retry of the whole attempt measures anew: nothing until steady again.
        feed.Event(DL_CODE_START, 1.0);
        feed.Run(1000, 3 * kMB, 500, 90 * kMB);
        EXPECT_FALSE(feed.rate.BytesPerSecond()) << end;
    }
}

TEST(DownloadRate_Events, AMultiConnectionRestartKeepsTheSpeedAndIgnoresShrinkingFiles) {
    SteadyFeed feed;
    feed.Event(DL_CODE_START, 1.0);
    feed.Run(3000, 6 * kMB, 500);
    const double before = *feed.rate.BytesPerSecond();
    feed.Event(DL_CODE_RETRY, 3.0);
    feed.Event(DL_CODE_VERIFY);
    // The restarted run truncates a part: the files shrink by 5 MB.
    feed.bytes -= static_cast<std::int64_t>(5 * kMB);
    feed.nowMs += 100;
    feed.Event(DL_CODE_START, 1.0);
    ASSERT_TRUE(feed.rate.BytesPerSecond()) << "still shown across the restart";
    EXPECT_DOUBLE_EQ(*feed.rate.BytesPerSecond(), before);
    feed.Run(500, 6 * kMB, 500);
    EXPECT_NEAR(*feed.rate.BytesPerSecond(), 6 * kMB, 0.1 * kMB);
    // Files that shrink without a restart never make a negative speed.
    feed.bytes = 0;
    feed.Run(2000, 6 * kMB, 500);
    EXPECT_GT(*feed.rate.BytesPerSecond(), 5 * kMB);
}

TEST(DownloadRate_Events, AClockThatGoesBackOnlyTakesANewBase) {
    DownloadRate rate;
    std::int64_t bytes = 0;
    rate.OnEvent(DL_CODE_START, 1.0, 10000, [&] { return bytes; });
    for (std::int64_t t = 10500; t <= 13000; t += 500) {
        bytes += 500000;
        rate.OnEvent(DL_CODE_PROGRESS, 0.0, t, [&] { return bytes; });
    }
    bytes += 500000;
    rate.OnEvent(DL_CODE_PROGRESS, 0.0, 100, [&] { return bytes; });
    ASSERT_TRUE(rate.BytesPerSecond());
    EXPECT_NEAR(*rate.BytesPerSecond(), 1 * kMB, 1.0);
}

TEST(DownloadRate_Disk, CountsThePackageAndItsPartsOnly) {
    std::wstring package;
    {
        testsupport::TempDir folder;
        const auto write = [&](const char* name, std::size_t size) {
            std::ofstream(folder.path() / name, std::ios::binary) << std::string(size, 'x');
        };
        write("__Package_Quorvex.exe", 1000);
        write("__Package_Quorvex.exe.part1", 300);
        write("other.bin", 5000);
        package = Utils::PathToWide(folder.path() / "__Package_Quorvex.exe");
        EXPECT_EQ(DownloadRate::BytesOnDisk(package), 1300);
    }
    EXPECT_EQ(DownloadRate::BytesOnDisk(package), 0) << "a folder that is gone";
    EXPECT_EQ(DownloadRate::BytesOnDisk(L""), 0);
}
