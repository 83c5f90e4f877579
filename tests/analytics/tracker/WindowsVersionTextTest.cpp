// The short Windows version text of events and the user agent, row by row: a pure function of
// the version numbers, so every system this build never runs on is still checked.
#include <gtest/gtest.h>

#include "analytics/tracker/source/src/WindowsVersionText.h"

namespace {

using varnel::tracking::WindowsVersion;
using varnel::tracking::WindowsVersionText;

std::string Text(std::uint32_t major, std::uint32_t minor, bool is64Bit, bool serverR2 = false,
                 std::uint32_t build = 0) {
    return WindowsVersionText(WindowsVersion{major, minor, build, is64Bit, serverR2});
}

TEST(WindowsVersionText, NamesEveryKnownVersionFor32And64BitSystems) {
    const struct {
        std::uint32_t major, minor;
        const char* bits32;
        const char* bits64;
    } rows[] = {
        {5, 0, "2K", "2K"},       {5, 1, "XP", "XP"},       {5, 2, "Server 2003", "XP64"}, {5, 3, "XP+", "XP+"},
        {6, 0, "Vista", "Vista64"}, {6, 1, "7-32", "7"},  {6, 2, "8-32", "8"},          {6, 3, "8.1", "8.1"},
        {6, 4, "8.1+", "8.1+"},   {10, 0, "10", "10"},      {10, 1, "10+", "10+"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Text(row.major, row.minor, false), row.bits32) << row.major << "." << row.minor;
        EXPECT_EQ(Text(row.major, row.minor, true), row.bits64) << row.major << "." << row.minor;
    }
}

TEST(WindowsVersionText, ServerR2OnlyFor32BitNt52) {
    EXPECT_EQ(Text(5, 2, false, true), "Server 2003 R2");
    EXPECT_EQ(Text(5, 2, true, true), "XP64");
    EXPECT_EQ(Text(6, 1, false, true), "7-32");
}

TEST(WindowsVersionText, OldUnreadableAndUnknownMajors) {
    // All zero is what an unreadable version gives: the oldest name, never "0.0.0".
    EXPECT_EQ(Text(0, 0, false), "XP-");
    EXPECT_EQ(Text(4, 10, true), "XP-");
    EXPECT_EQ(Text(11, 2, true, false, 22631), "11.2.22631");
    EXPECT_EQ(Text(7, 0, false, false, 65535), "7.0.65535");
}

}  // namespace
