// The log file's privacy on Linux: modes, links and other users' files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TempDir.h"
#include "utils/Log.h"
#include "utils/LogFile.h"

namespace {

namespace fs = std::filesystem;

unsigned Mode(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0xFFFF;
}

TEST(LogFile_Privacy, FolderAndFileAreTheOwnersOnlyWhateverTheUmask) {
    testsupport::TempDir dir;
    const mode_t old = ::umask(0);
    const fs::path log = dir.path() / "state" / "VarNelSoft" / "Quorvex_Installer.log";
    auto file = Utils::LogFile::OpenRotated(log);
    ::umask(old);
    ASSERT_TRUE(file);
    EXPECT_EQ(Mode(log), 0600u);
    EXPECT_EQ(Mode(log.parent_path()), 0700u);
    // A named file that others could read is taken over as the owner's only.
    const auto named = dir.Write("open.log", "");
    fs::permissions(named, fs::perms::all);
    ASSERT_TRUE(Utils::LogFile::OpenAppending(named));
    EXPECT_EQ(Mode(named), 0600u);
}

TEST(LogFile_Privacy, ALinkIsNeverWrittenThrough) {
    testsupport::TempDir dir;
    const auto victim = dir.Write("victim", "keep");
    const auto link = dir.path() / "link.log";
    fs::create_symlink(victim, link);
    Utils::FileError error;
    EXPECT_FALSE(Utils::LogFile::OpenAppending(link, &error));
    EXPECT_EQ(error.Cause(), Utils::FileCause::LinkRefused);
    // The installer's own log: the link is moved aside with the earlier runs, not followed.
    const auto log = dir.path() / "Quorvex_Installer.log";
    fs::create_symlink(victim, log);
    auto file = Utils::LogFile::OpenRotated(log);
    ASSERT_TRUE(file);
    file->WriteLine(L"line");
    EXPECT_EQ(testsupport::ReadFile(victim), "keep");
    EXPECT_FALSE(fs::is_symlink(log));
}

TEST(LogFile_Runs, AFailedTurnOverStillWritesToTheCurrentFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "root renames in a read-only folder";
    testsupport::TempDir dir;
    const auto log = dir.Write("Quorvex_Installer.log", "run 1\n");
    fs::permissions(log, fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);  // no renames
    auto file = Utils::LogFile::OpenRotated(log);
    fs::permissions(dir.path(), fs::perms::owner_all);
    ASSERT_TRUE(file);
    file->WriteLine(L"run 2");
    EXPECT_EQ(testsupport::ReadFile(log), "run 1\nrun 2\n");
}

// Without a file (none could be opened) the trace stays on standard error, the Linux channel,
// held lines included: a failed log never silences it.
TEST(Log_Destination, WithoutAFileTheLinesStayOnStandardError) {
    EXPECT_EXIT(
        {
            Utils::HoldLog();
            QLOG(L"kept\r\n");
            Utils::SetLogDestination(nullptr, false);
            QLOG(L"after\r\n");
            std::exit(Utils::LogFilePath().empty() ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), ": kept\n.*: after\n");
}

}  // namespace
