#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "tests/support/TempDir.h"
#include "utils/Network.h"
#include "utils/StringUtils.h"
#include "utils/SystemInfo.h"

using namespace Utils;
using testsupport::TempDir;

TEST(SystemInfo_Guid, ThirtyTwoHexDigitsLowerCaseOnlyInTheThirdGroup) {
    const std::wregex shape(L"^[0-9A-F]{12}[0-9a-f]{4}[0-9A-F]{16}$");
    std::set<std::wstring> seen;
    for (int i = 0; i < 200; ++i) {
        const std::wstring g = NewGuidString();
        EXPECT_TRUE(std::regex_match(g, shape)) << ToUtf8(g);
        seen.insert(g);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(SystemInfo_Md5, MatchesTheStandardDigests) {
    TempDir dir;
    EXPECT_EQ(FileMd5Hex(dir.Write("empty", "").string()), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(FileMd5Hex(dir.Write("abc", "abc").string()), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(FileMd5Hex(dir.Write("fox", "The quick brown fox jumps over the lazy dog").string()),
              "9e107d9d372bb6826bd81d3542a419d6");
    // Several read blocks and a partial last one.
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7 + 3) % 251);
    EXPECT_EQ(FileMd5Hex(dir.Write("big.bin", big).string()), "4071dc4cc95a3657d1f18862d97456ea");
}

TEST(SystemInfo_Md5, EmptyPathMissingFileOrFolderGiveEmpty) {
    TempDir dir;
    EXPECT_EQ(FileMd5Hex(""), "");
    EXPECT_EQ(FileMd5Hex((dir.path() / "missing").string()), "");
    EXPECT_EQ(FileMd5Hex(dir.path().string()), "");
}

TEST(SystemInfo_Version, LinuxNamesTheDistributionOrTheKernel) {
    EXPECT_EQ(OsVersionFromRelease("PRETTY_NAME=\"x\"\nNAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n", "6.1.0"),
              L"Debian GNU/Linux 12");
    EXPECT_EQ(OsVersionFromRelease("NAME=Arch Linux\n", "6.1.0"), L"Arch Linux");
    EXPECT_EQ(OsVersionFromRelease("", "6.1.0-13-amd64"), L"6.1.0-13-amd64");
}

TEST(SystemInfo_Version, WindowsNamesFollowTheNtVersion) {
    EXPECT_EQ(WindowsVersionName(10, 0, 19045, false), L"10");
    EXPECT_EQ(WindowsVersionName(10, 1, 0, false), L"10+");
    EXPECT_EQ(WindowsVersionName(6, 3, 9600, false), L"8.1");
    EXPECT_EQ(WindowsVersionName(6, 4, 0, false), L"8.1+");
    EXPECT_EQ(WindowsVersionName(6, 1, 7601, false), L"7");
    EXPECT_EQ(WindowsVersionName(5, 1, 2600, false), L"XP");
    EXPECT_EQ(WindowsVersionName(5, 2, 3790, true), L"Server 2003 R2");
    EXPECT_EQ(WindowsVersionName(5, 2, 3790, false), L"Server 2003");
    EXPECT_EQ(WindowsVersionName(5, 3, 0, false), L"XP+");
    EXPECT_EQ(WindowsVersionName(0, 0, 0, false), L"XP-");
    EXPECT_EQ(WindowsVersionName(11, 2, 0x10000 + 22000, false), L"11.2.22000");
}

TEST(Network_Verdict, FollowsTheConnectivityFlags) {
    EXPECT_EQ(CombineConnectivity(0, false), 0x10000u);
    EXPECT_EQ(CombineConnectivity(0, true), 0x10000u);       // no flags: nothing to trust
    EXPECT_EQ(CombineConnectivity(0x40, true), 0x40u);
    EXPECT_EQ(CombineConnectivity(0x20, false), 0x20020u);
    EXPECT_EQ(CombineConnectivity(0x1A, false), 0x2001Au);  // IPv4 subnet and local network
}
