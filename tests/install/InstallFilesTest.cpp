// The install chain's file operations on every system: the uninstaller's copy and the removal
// of a stopped download's files.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "install/InstallFiles.h"
#include "install/InterruptGuard.h"
#include "tests/install/WidePath.h"
#include "tests/support/TempDir.h"
#include "utils/PathText.h"

namespace fs = std::filesystem;
using InstallFiles::CopyOutcome;

namespace {

using installtest::W;

}  // namespace

TEST(InstallFiles_Copy, TheCopyHasTheSourcesBytesAndReplacesAnEarlierCopy) {
    testsupport::TempDir tmp;
    const fs::path source = tmp.Write("uninst.ep", std::string(300000, 'u') + "end");
    const fs::path target = tmp.Write("private/Pelmora_un_asa.exe", "an older, longer copy of another program");
    ASSERT_EQ(InstallFiles::CopyFileReplacing(W(source), W(target)), CopyOutcome::kCopied);
    EXPECT_EQ(testsupport::ReadFile(target), std::string(300000, 'u') + "end");
    EXPECT_TRUE(InstallFiles::FileExists(W(target)));
    // Nothing but the copy is left beside it (no temporary file).
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp / "private"), fs::directory_iterator()), 1);
}

TEST(InstallFiles_Copy, AFailedCopyLeavesNoStaleCopyBehind) {
    testsupport::TempDir tmp;
    const fs::path target = tmp.Write("private/Pelmora_un_asa.exe", "stale copy");
    EXPECT_EQ(InstallFiles::CopyFileReplacing(W(tmp / "missing.ep"), W(target)),
              CopyOutcome::kSourceRefused);
    EXPECT_FALSE(fs::exists(target));
    tmp.Write("private/Pelmora_un_asa.exe", "stale copy");
    EXPECT_EQ(InstallFiles::CopyFileReplacing(L"", W(target)), CopyOutcome::kSourceRefused);
    EXPECT_FALSE(fs::exists(target));
    // A folder is no program.
    EXPECT_EQ(InstallFiles::CopyFileReplacing(W(tmp.path()), W(target)), CopyOutcome::kSourceRefused);

    const fs::path source = tmp.Write("uninst.ep", "program");
    EXPECT_EQ(InstallFiles::CopyFileReplacing(W(source), W(tmp / "nowhere" / "Pelmora_un_asa.exe")),
              CopyOutcome::kTargetFailed);
    EXPECT_EQ(InstallFiles::CopyFileReplacing(W(source), L""), CopyOutcome::kTargetFailed);
}

TEST(InstallFiles_Files, ExistenceAndDeletionOfFilesOnly) {
    testsupport::TempDir tmp;
    const fs::path file = tmp.Write("Pelmora/__Package_Quorvex.exe", "package");
    EXPECT_TRUE(InstallFiles::FileExists(W(file)));
    EXPECT_FALSE(InstallFiles::FileExists(W(tmp / "Pelmora")));
    EXPECT_FALSE(InstallFiles::FileExists(L""));
    EXPECT_TRUE(InstallFiles::DeleteFileIfExists(W(file)));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(InstallFiles::DeleteFileIfExists(W(file))) << "nothing to remove is no failure";
    EXPECT_TRUE(InstallFiles::DeleteFileIfExists(W(tmp / "no" / "such" / "folder")));
}

TEST(InstallFiles_Paths, JoiningAndSplittingGoBackAndForth) {
    const fs::path folder = fs::path("Apps") / Utils::PathFromWide(L"中文 目录");
    const std::wstring joined = InstallFiles::JoinPath(W(folder), L"set.ini");
    EXPECT_EQ(Utils::PathFromWide(joined), folder / "set.ini");
    EXPECT_EQ(InstallFiles::ParentFolder(joined), W(folder));
    EXPECT_EQ(InstallFiles::JoinPath(L"", L"set.ini"), L"set.ini");
    EXPECT_EQ(InstallFiles::ParentFolder(L"set.ini"), L"");
    EXPECT_EQ(InstallFiles::WithoutTrailingSeparator(W(folder / "")), W(folder));
    EXPECT_EQ(InstallFiles::JoinPath(W(folder / ""), L"set.ini"), joined);
    EXPECT_EQ(InstallFiles::Unquote(L"\"" + joined + L"\""), joined);
    EXPECT_EQ(InstallFiles::Unquote(L"\"x"), L"\"x");
}

TEST(InstallFiles_Leftovers, EveryFileUnderThePackagesNameGoesAndNothingElse) {
    testsupport::TempDir tmp;
    const fs::path folder = tmp / "Pelmora";
    for (const char* name : {"__Package_Quorvex.exe", "__Package_Quorvex.exe.part", "__Package_Quorvex.exe_0",
                             "__Package_Quorvex.exe_12"})
        tmp.Write(std::string("Pelmora/") + name, "partial");
    tmp.Write("Pelmora/compressor.exe", "product");
    tmp.Write("Pelmora/__Package_Other.exe", "someone else's");
    InterruptGuard::RemoveDownloadLeftovers(W(folder / "__Package_Quorvex.exe"));
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder)) left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"__Package_Other.exe", "compressor.exe"}));
    // No package path, no folder: nothing to do, nothing breaks.
    InterruptGuard::RemoveDownloadLeftovers(L"");
    InterruptGuard::RemoveDownloadLeftovers(W(tmp / "gone" / "__Package_Quorvex.exe"));
}
