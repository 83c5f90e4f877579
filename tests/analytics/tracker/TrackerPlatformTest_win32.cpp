// The tracker's Windows services: the texts that name the system, GUIDs in reading order,
// folders and the case-blind lookup under names no ANSI code page holds, and the append-only log.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "analytics/tracker/source/src/NativeTrackLogger.h"
#include "analytics/tracker/source/src/TrackerPathText.h"
#include "analytics/tracker/source/src/TrackerPlatform.h"
#include "tests/support/TempDir.h"

namespace {

namespace platform = varnel::tracking::platform;
namespace fs = std::filesystem;
using varnel::tracking::PathText;
using varnel::tracking::TextPath;

// "é中Ж": no single ANSI code page holds all three.
const std::string kMixedName = "\xc3\xa9\xe4\xb8\xad\xd0\x96";

TEST(TrackerPlatformWin32, SystemTexts) {
    EXPECT_EQ(platform::OsName(), "Windows");
    EXPECT_EQ(platform::AppPlatform(), "Windows");
    EXPECT_EQ(platform::SdkName(), "WindowsCPP");
    EXPECT_TRUE(platform::Is64BitSystem());  // a 64-bit process runs on a 64-bit system only
    const std::string version = platform::OsVersion();
    EXPECT_FALSE(version.empty());
    EXPECT_NE(version, "XP-") << "the NT version numbers were not read";
    EXPECT_EQ(platform::UserAgent("Windows", "10", true), "Mozilla/5.0(Windows 10; Win64;)");
    EXPECT_EQ(platform::UserAgent("Windows", "7-32", false), "Mozilla/5.0(Windows 7-32; Win32;)");
}

TEST(TrackerPlatformWin32, GuidsAreNewAndInReadingOrder) {
    std::set<std::array<std::uint8_t, 16>> seen;
    for (int i = 0; i < 50; ++i) {
        std::array<std::uint8_t, 16> bytes{};
        ASSERT_TRUE(platform::CreateGuidBytes(bytes));
        // A random (version 4) GUID: the version nibble leads the seventh byte when the
        // fields are written most significant byte first.
        EXPECT_EQ(bytes[6] >> 4, 4);
        EXPECT_EQ(bytes[8] & 0xC0, 0x80);
        EXPECT_TRUE(seen.insert(bytes).second);
    }
}

TEST(TrackerPlatformWin32, FoldersAndTheCaseBlindLookupUnderANonAsciiName) {
    testsupport::TempDir dir;
    const fs::path folder = dir.path() / TextPath(kMixedName) / "VNLocal" / "app";
    ASSERT_TRUE(platform::CreateFolderChain(folder));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(platform::CreateFolderChain(folder));  // already there
    // A file in the way of a level is no folder.
    std::ofstream(dir.path() / "file") << "x";
    EXPECT_FALSE(platform::CreateFolderChain(dir.path() / "file" / "below"));

    std::ofstream(folder / "SET.INI") << "[Install]\n";
    fs::create_directory(folder / "set.ini.d");
    const auto found = platform::FindFileNoCase(folder, "Set.ini");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->filename(), "SET.INI");
    EXPECT_EQ(PathText(*found), PathText(folder / "SET.INI"));
    EXPECT_FALSE(platform::FindFileNoCase(folder, "set.ini.d").has_value());  // a folder is no file
    EXPECT_FALSE(platform::FindFileNoCase(folder / "missing", "Set.ini").has_value());
}

TEST(TrackerPlatformWin32, KnownFolders) {
    const fs::path executable = platform::ExecutableFolder();
    EXPECT_TRUE(fs::is_directory(executable)) << PathText(executable);
    EXPECT_TRUE(fs::exists(executable / "qv_analytics_platform_tests.exe"));
    EXPECT_TRUE(fs::is_directory(platform::LocalStateFolder()));
}

TEST(NativeTrackLoggerWin32, AppendsAcrossOpensUnderANonAsciiFolder) {
    testsupport::TempDir dir;
    const fs::path folder = dir.path() / TextPath(kMixedName);
    fs::create_directory(folder);
    const std::string path = PathText(folder / "app_VNSLog.txt");
    {
        varnel::tracking::NativeTrackLogger logger;
        EXPECT_FALSE(logger.write("lost\n"));  // nothing is open yet
        ASSERT_TRUE(logger.open(path));
        EXPECT_TRUE(logger.isOpen());
        EXPECT_EQ(logger.path(), path);
        EXPECT_TRUE(logger.write("one\n"));
        logger.close();
        EXPECT_FALSE(logger.isOpen());
        ASSERT_TRUE(logger.open(path));
        EXPECT_TRUE(logger.write("two\n"));
    }
    EXPECT_EQ(testsupport::ReadFile(folder / "app_VNSLog.txt"), "one\ntwo\n");
    varnel::tracking::NativeTrackLogger logger;
    EXPECT_FALSE(logger.open(""));
    EXPECT_FALSE(logger.open(PathText(dir.path() / "missing" / "log.txt")));
}

}  // namespace
