#include <gtest/gtest.h>

#include <string>

#include "tests/support/TempDir.h"
#include "utils/Folders.h"
#include "utils/HardDiskManager.h"
#include "utils/Log.h"
#include "utils/PathText.h"
#include "utils/StringUtils.h"

using namespace Utils;
using testsupport::TempDir;

namespace {

std::string g_log;
void KeepLine(std::wstring_view line) { g_log += ToUtf8(line) + "\n"; }

}  // namespace

TEST(Folders_Create, MakesEveryLevelAndAcceptsExistingOnes) {
    TempDir dir;
    const auto deep = dir.path() / "a" / "b" / "c";
    EXPECT_TRUE(CreateDirectories(PathToWide(deep)));
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_TRUE(CreateDirectories(PathToWide(deep) + L"/"));
    EXPECT_TRUE(CreateDirectories(PathToWide(dir.path() / PathFromWide(L"安装 目录"))));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / PathFromWide(L"安装 目录")));
}

TEST(Folders_Create, RefusesOverlongPathsWithoutCreatingAnything) {
    TempDir dir;
    std::wstring base = PathToWide(dir.path()) + L"/x/";
    ASSERT_LT(base.size(), 200u);
    std::wstring path = base + std::wstring(261 - base.size(), L'y');
    ASSERT_EQ(path.size(), 261u);
    EXPECT_FALSE(CreateDirectories(path));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "x"));
    path.pop_back();
    EXPECT_TRUE(CreateDirectories(path));
}

TEST(Folders_Create, FailsWhenAFileIsInTheWay) {
    TempDir dir;
    const auto file = dir.Write("file", "x");
    EXPECT_FALSE(CreateDirectories(PathToWide(file / "sub")));
    EXPECT_FALSE(CreateDirectories(PathToWide(file)));
}

TEST(HardDiskManager_FreeSpace, MeasuresTheVolumeOfAFolderYetToBeCreated) {
    TempDir dir;
    HardDiskManager disk;
    EXPECT_EQ(disk.AvailableToCaller(), 0u);
    ASSERT_TRUE(disk.CheckFreeSpace(PathToWide(dir.path() / "not" / "yet")));
    EXPECT_GT(disk.TotalBytes(), 0u);
    EXPECT_GE(disk.FreeBytes(), disk.AvailableToCaller());
    EXPECT_GE(disk.TotalBytes(), disk.FreeBytes());
}

TEST(HardDiskManager_FreeSpace, EmptyPathFailsAndLogsTheCode) {
    HardDiskManager disk;
    g_log.clear();
    SetLogSink(&KeepLine);
    const bool ok = disk.CheckFreeSpace(L"");
    SetLogSink(nullptr);
    EXPECT_FALSE(ok);
    EXPECT_NE(g_log.find("HardDiskManager::CheckFreeSpace FAIL code="), std::string::npos) << g_log;
    EXPECT_EQ(disk.TotalBytes(), 0u);
}
