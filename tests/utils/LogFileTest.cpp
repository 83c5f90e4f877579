// The trace's log file: turning over the runs, the size cap, and the trace's destination.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "utils/Log.h"
#include "utils/LogFile.h"
#include "utils/PathText.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) { return testsupport::ReadFile(p); }

TEST(LogFile_Runs, EachRunStartsAFreshFileAndTheLastThreeAreKept) {
    testsupport::TempDir dir;
    const fs::path log = dir.path() / "state" / "VarNelSoft" / "Quorvex_Installer.log";
    for (int run = 1; run <= 4; ++run) {
        auto file = Utils::LogFile::OpenRotated(log);
        ASSERT_TRUE(file) << "run " << run;
        file->WriteLine(L"run " + std::to_wstring(run));
    }
    EXPECT_EQ(Read(log), "run 4\n");
    EXPECT_EQ(Read(fs::path(log) += ".1"), "run 3\n");
    EXPECT_EQ(Read(fs::path(log) += ".2"), "run 2\n");
    EXPECT_FALSE(fs::exists(fs::path(log) += ".3"));  // the oldest run is dropped
}

TEST(LogFile_Runs, AppendingKeepsWhatIsThere) {
    testsupport::TempDir dir;
    const auto named = dir.Write("mine.log", "earlier\n");
    auto file = Utils::LogFile::OpenAppending(named);
    ASSERT_TRUE(file);
    file->WriteLine(L"later \u00e9");
    EXPECT_EQ(Read(named), "earlier\nlater \xc3\xa9\n");
    EXPECT_EQ(Utils::PathToWide(file->Path()), Utils::PathToWide(named));
}

TEST(LogFile_Cap, LinesPastTheCapAreDroppedAfterOneNote) {
    testsupport::TempDir dir;
    const auto path = dir.path() / "big.log";
    auto file = Utils::LogFile::OpenAppending(path);
    ASSERT_TRUE(file);
    const std::wstring line(1023, L'x');  // 1 KiB with its line end
    const int64_t lines = Utils::LogFile::kMaxBytes / 1024;
    for (int64_t i = 0; i < lines + 10; ++i) file->WriteLine(line);
    const std::string text = Read(path);
    EXPECT_LE(static_cast<int64_t>(text.size()), Utils::LogFile::kMaxBytes + 100);
    const size_t note = text.find("trace cut");
    ASSERT_NE(note, std::string::npos);
    EXPECT_EQ(text.find("trace cut", note + 1), std::string::npos);  // once
    EXPECT_EQ(text.back(), '\n');
}

// The destination is chosen once per process: each case runs in a child of its own.
TEST(Log_Destination, LinesLoggedBeforeTheChoiceReachTheFileFirstAndInOrder) {
    // Windows runs the child as a new process of this program, which makes its own folder:
    // the parent's path reaches it through the environment.
    testsupport::TempDir dir;
    const char* given = std::getenv("QV_LOG_DESTINATION_TEST_FILE");
    const fs::path path = given ? fs::path(given) : dir.path() / "trace.log";
    std::optional<testsupport::ScopedEnv> handedOver;
    if (!given) handedOver.emplace("QV_LOG_DESTINATION_TEST_FILE", path.string());
    EXPECT_EXIT(
        {
            Utils::HoldLog();
            QLOG(L"early %d\r\n", 1);
            QLOG(L"early %d\r\n", 2);
            Utils::SetLogDestination(Utils::LogFile::OpenAppending(path), false);
            QLOG(L"late\r\n");
            std::exit(Utils::LogFilePath() == Utils::PathToWide(path) ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
    const std::string text = Read(path);
    const size_t first = text.find(": early 1\n");
    const size_t second = text.find(": early 2\n");
    const size_t late = text.find(": late\n");
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_LT(first, second);
    EXPECT_LT(second, late);
    EXPECT_NE(text.find("LinesLoggedBeforeTheChoiceReachTheFileFirstAndInOrder_Test::TestBody)<"), std::string::npos)
        << text;
}

}  // namespace
