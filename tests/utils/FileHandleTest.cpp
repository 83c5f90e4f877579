#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/TempDir.h"
#include "utils/FileHandle.h"

using namespace Utils;
using testsupport::TempDir;

namespace {

std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string At(const TempDir& dir, const char* name) { return (dir.path() / name).string(); }

TEST(FileHandle_Portable, AppendsKeepsContentReadsAtOffsetsAndFollowsARename) {
    TempDir dir;
    const std::string path = At(dir, "data");
    {
        FileHandle file = FileHandle::OpenAppend(path);
        ASSERT_TRUE(file.WriteAll("hello ", 6));
        ASSERT_TRUE(file.WriteAll("world", 5));
        EXPECT_EQ(file.Size(), 11);
    }
    {
        FileHandle file = FileHandle::OpenAppend(path);  // appends after what is there
        ASSERT_TRUE(file.WriteAll("!", 1));
        FileHandle other = FileHandle::OpenWrite(path);  // another writer grows the file meanwhile
        ASSERT_TRUE(other.WriteAll("HELLO", 5));
        ASSERT_TRUE(file.WriteAll("?", 1));  // still at the end as it is now
    }
    EXPECT_EQ(Content(path), "HELLO world!?");
    FileHandle file = FileHandle::OpenWrite(path);  // keeps the content
    char buffer[16] = {};
    EXPECT_EQ(file.ReadAt(buffer, 5, 6), 5);
    EXPECT_EQ(std::string(buffer, 5), "world");
    EXPECT_EQ(file.ReadAt(buffer, 16, 13), 0);
    ASSERT_TRUE(file.Truncate(5));
    EXPECT_EQ(file.Size(), 5);
    EXPECT_TRUE(SameFile(file, path));
    // Renamed while open, over an existing file: the handle follows its file.
    std::ofstream(At(dir, "moved"), std::ios::binary) << "old";
    ASSERT_TRUE(RenameFile(path, At(dir, "moved")));
    EXPECT_FALSE(SameFile(file, path));
    EXPECT_TRUE(SameFile(file, At(dir, "moved")));
    ASSERT_TRUE(file.Close());
    EXPECT_TRUE(file.Close());  // closing twice is harmless
    EXPECT_LT(file.ReadAt(buffer, 1, 0), 0);
    EXPECT_FALSE(file.WriteAll("x", 1));
    EXPECT_EQ(Content(At(dir, "moved")), "HELLO");
    EXPECT_EQ(FileSize(At(dir, "moved")), 5);
}

TEST(FileHandle_Portable, FreshFilesReplaceWhatWasThereAndMissingFilesSayNotFound) {
    TempDir dir;
    const std::string path = At(dir, "fresh");
    std::ofstream(path, std::ios::binary) << "earlier content";
    {
        FileHandle fresh = FileHandle::CreateFresh(path);
        ASSERT_TRUE(fresh.IsOpen());
        EXPECT_EQ(fresh.Size(), 0);
        ASSERT_TRUE(fresh.WriteAll("new", 3));
    }
    EXPECT_EQ(Content(path), "new");

    FileError error;
    EXPECT_FALSE(FileHandle::OpenRead(At(dir, "missing"), &error).IsOpen());
    EXPECT_EQ(error.Cause(), FileCause::NotFound);
    EXPECT_TRUE(RemoveFile(At(dir, "missing")));  // nothing left: success
    EXPECT_EQ(RenameFile(At(dir, "missing"), At(dir, "b")).Cause(), FileCause::NotFound);
    EXPECT_EQ(FileSize(At(dir, "missing")), -1);
    EXPECT_FALSE(PathExists(At(dir, "missing")));
    // A folder is neither opened nor removed as a file.
    EXPECT_FALSE(FileHandle::OpenAppend(dir.path().string(), FileHandle::kModeShared, &error).IsOpen());
    EXPECT_FALSE(error.Ok());
    EXPECT_FALSE(RemoveFile(dir.path().string()));
    EXPECT_TRUE(PathExists(dir.path().string()));
    EXPECT_TRUE(RemoveFile(path));
    EXPECT_FALSE(PathExists(path));
}

}  // namespace
