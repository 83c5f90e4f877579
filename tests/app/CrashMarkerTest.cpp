#include <gtest/gtest.h>

#include <filesystem>

#include "app/CrashMarker.h"
#include "tests/support/TempDir.h"

TEST(CrashMarker_Take, OnceAndOnlyForAMarkerThatExists) {
    testsupport::TempDir dir;
    const CrashMarker marker(dir / "m.crash");
    EXPECT_EQ(marker.Take(), std::nullopt);
    marker.Write(6);
    EXPECT_EQ(marker.Take(), 6);
    EXPECT_EQ(marker.Take(), std::nullopt);
    dir.Write("m.crash", "garbage");
    EXPECT_EQ(marker.Take(), 0);  // a crash all the same, of an unknown signal
    EXPECT_FALSE(std::filesystem::exists(dir / "m.crash"));
}
