// The whole-bar percentage shown while installing.
#include <gtest/gtest.h>

#include <cmath>

#include "install/InstallProgress.h"

TEST(InstallProgress_Percent, DownloadFillsItsShareAndInstallReportsAreSmoothed) {
    InstallProgress progress(0.7);
    EXPECT_EQ(progress.OnDownload(0.5), 35);
    EXPECT_EQ(progress.OnDownload(1.0), 70);
    std::vector<int> seen;
    for (int i = 0; i < 8; ++i) seen.push_back(progress.OnInstall(0.0));
    EXPECT_EQ(seen, (std::vector<int>{74, 78, 83, 88, 92, 97, 98, 98}));
    EXPECT_EQ(progress.OnInstall(1.0), 100);
}

TEST(InstallProgress_Percent, AReportAboveTheSmoothedValueTakesOverAndNothingGoesBack) {
    InstallProgress progress(0.7);
    EXPECT_EQ(progress.OnInstall(0.0), 74);
    EXPECT_EQ(progress.OnInstall(0.9), 97);
    EXPECT_EQ(progress.OnInstall(0.1), 98);  // smoothed: 0.95, never back to 0.1
    // Absurd reports give a bounded number instead of undefined behaviour.
    InstallProgress odd(0.7);
    EXPECT_EQ(odd.OnDownload(NAN), 0);
    EXPECT_EQ(odd.OnInstall(1e300), 100);
}

TEST(InstallProgress_Percent, TheSmoothingStopsAtNinetyFivePerCentOfTheInstallShare) {
    // With no download share every per cent of the cap shows: 0.96 would give 96.
    InstallProgress progress(0.0);
    int last = 0;
    for (int i = 0; i < 10; ++i) last = progress.OnInstall(0.0);
    EXPECT_EQ(last, 95);
}

TEST(InstallProgress_Percent, FractionsOutsideZeroToOneAreClampedSoTheBarNeverJumps) {
    InstallProgress progress(0.7);
    EXPECT_EQ(progress.OnInstall(0.3), 78);
    EXPECT_EQ(progress.OnInstall(-5.0), 83);  // smoothed on from 0.45, not back to 0
    EXPECT_EQ(progress.OnInstall(NAN), 88);
    EXPECT_EQ(progress.OnInstall(7.0), 100);  // taken as 1
}
