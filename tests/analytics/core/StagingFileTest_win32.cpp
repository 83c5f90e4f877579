// The staging file on Windows: UTF-8 paths under folders no ANSI code page names, the folder
// form of the path, whole-file replacement over an existing file, and no temporary file left.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>

#include "analytics/core/StagingFile.h"
#include "analytics/tracker/source/src/TrackerPathText.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using varnel::tracking::PathText;

std::deque<std::string> ReadAll(const collect::StagingFile& file, std::size_t room = 100) {
    std::deque<std::string> records;
    EXPECT_EQ(file.ReadNewestRecords(room, records), collect::StagingFile::ReadResult::Read);
    return records;
}

TEST(StagingFileWin32, WritesReadsAndReplacesUnderANonAsciiFolder) {
    testsupport::TempDir dir;
    // A folder path with a trailing separator names the staging file inside it, created with
    // every missing level.
    const std::string folder = PathText(dir.path()) + "\\\xc3\xa9\xe4\xb8\xad\xd0\x96\\state\\";
    const collect::StagingFile staging(folder);
    EXPECT_EQ(staging.FilePath(), folder + collect::StagingFile::kStagingFileName);
    std::deque<std::string> none;
    EXPECT_EQ(staging.ReadNewestRecords(10, none), collect::StagingFile::ReadResult::Missing);

    ASSERT_TRUE(staging.Write({"{\"n\":1}", "{\"n\":2}", "{\"n\":3}"}));
    EXPECT_EQ(ReadAll(staging), (std::deque<std::string>{"{\"n\":1}", "{\"n\":2}", "{\"n\":3}"}));
    EXPECT_EQ(ReadAll(staging, 2), (std::deque<std::string>{"{\"n\":2}", "{\"n\":3}"}));
    // The existing folder named without its separator means the same file.
    EXPECT_EQ(collect::StagingFile(folder.substr(0, folder.size() - 1)).FilePath(), staging.FilePath());

    // A replacement over the open-for-reading-by-others file, and nothing else left in the folder.
    ASSERT_TRUE(staging.Write({"{\"n\":4}"}));
    EXPECT_EQ(ReadAll(staging), (std::deque<std::string>{"{\"n\":4}"}));
    const fs::path native = varnel::tracking::TextPath(folder);
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(native)) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1);

    ASSERT_TRUE(staging.Clear());
    EXPECT_TRUE(ReadAll(staging).empty());
}

TEST(StagingFileWin32, SkipsTornLinesAndReadsALastLineWithoutBreak) {
    testsupport::TempDir dir;
    const fs::path path = dir.path() / "staging";
    dir.Write("staging", "{\"n\":1}\r\n{\"n\":2}\n{\"torn\"\nnot a record\n{\"n\":3}");
    const collect::StagingFile staging(PathText(path));
    // A line ended by CR LF is no record (its last character is not "}"), as on Linux.
    EXPECT_EQ(ReadAll(staging), (std::deque<std::string>{"{\"n\":2}", "{\"n\":3}"}));
    EXPECT_TRUE(collect::StagingFile(PathText(dir.path() / "missing")).Clear());
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

TEST(StagingFileWin32, AFileInThePlaceOfTheFolderFailsTheWrite) {
    testsupport::TempDir dir;
    dir.Write("blocker", "x");
    const collect::StagingFile staging(PathText(dir.path() / "blocker" / "state") + "\\");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(staging.Write({"{\"n\":1}"}));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("folder creation"), std::string::npos);
}

}  // namespace
