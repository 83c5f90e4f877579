// Copying the previous uninstaller into the private temporary folder: what only POSIX can
// show (modes, the umask, links, other users, a full file system).
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "install/InstallFiles.h"
#include "install/InterruptGuard.h"
#include "tests/install/ChildScope.h"
#include "tests/install/WidePath.h"
#include "tests/support/TempDir.h"
#include "utils/StringUtils.h"

namespace fs = std::filesystem;
using InstallFiles::CopyOutcome;

namespace {

using installtest::W;

}  // namespace

TEST(InstallFiles_Copy, TheCopyIsPrivateAndExecutableAndReplacesALinkAtItsName) {
    testsupport::TempDir tmp;
    const auto source = tmp.Write("uninst.ep", std::string(100000, 'u'));
    const fs::path secret = tmp.Write("secret", "keep");
    fs::create_directories(tmp / "private");
    fs::create_symlink(secret, tmp / "private" / "Pelmora_un_asa.exe");
    const mode_t old = ::umask(0);
    const CopyOutcome outcome = InstallFiles::CopyFileReplacing(W(source), W(tmp / "private" / "Pelmora_un_asa.exe"));
    ::umask(old);
    ASSERT_EQ(outcome, CopyOutcome::kCopied);
    struct stat st{};
    ASSERT_EQ(::lstat((tmp / "private" / "Pelmora_un_asa.exe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(testsupport::ReadFile(tmp / "private" / "Pelmora_un_asa.exe"), std::string(100000, 'u'));
    EXPECT_EQ(testsupport::ReadFile(secret), "keep");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp / "private"), fs::directory_iterator()), 1);
}

TEST(InstallFiles_Copy, ALinkOrAnotherUsersFileIsNoSourceAndAnOldCopyGoes) {
    testsupport::TempDir tmp;
    const auto real = tmp.Write("real.ep", "program");
    fs::create_symlink(real, tmp / "link.ep");
    const fs::path target = tmp.Write("private/Pelmora_un_asa.exe", "stale copy");
    EXPECT_EQ(InstallFiles::CopyFileReplacing(W(tmp / "link.ep"), W(target)), CopyOutcome::kSourceRefused);
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(InstallFiles::CopyFileReplacing(W(tmp / "missing.ep"), W(target)), CopyOutcome::kSourceRefused);

    // Another user's file: uid 65534's as root; seen from a user namespace otherwise, where
    // the real root's files belong to an unmapped user.
    int refused;
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(real.c_str(), 65534, 65534), 0);
        refused = InstallFiles::CopyFileReplacing(W(real), W(target)) == CopyOutcome::kSourceRefused ? 0 : 1;
    } else {
        std::printf("not root: another user's file is a root file seen from a user namespace\n");
        refused = installtest::AsRoot([&] {
            return InstallFiles::CopyFileReplacing(L"/bin/true", W(target)) == CopyOutcome::kSourceRefused ? 0 : 1;
        });
        if (refused == 121) GTEST_SKIP() << "no user namespace here";
    }
    EXPECT_EQ(refused, 0);
    EXPECT_FALSE(fs::exists(target));
}

TEST(InstallFiles_Copy, AFullOrMissingTargetFolderFailsAndLeavesNothing) {
    testsupport::TempDir tmp;
    const auto source = tmp.Write("uninst.ep", std::string(4 << 20, 'u'));
    EXPECT_EQ(InstallFiles::CopyFileReplacing(W(source), W(tmp / "nowhere" / "Pelmora_un_asa.exe")),
              CopyOutcome::kTargetFailed);
    fs::create_directories(tmp / "full");
    const int full = installtest::OnSmallTmpfs((tmp / "full").string(), 1 << 20, [&] {
        const bool failed = InstallFiles::CopyFileReplacing(W(source), W(tmp / "full" / "Pelmora_un_asa.exe")) ==
                            CopyOutcome::kTargetFailed;
        return failed && fs::is_empty(tmp / "full") ? 0 : 1;
    });
    if (full == 121) GTEST_SKIP() << "no private mount namespace: the full folder is not tested";
    EXPECT_EQ(full, 0);
}

TEST(InstallFiles_Leftovers, EveryFileUnderThePackagesNameGoesButNoLinkIsFollowed) {
    testsupport::TempDir tmp;
    const fs::path folder = tmp / "Pelmora";
    for (const char* name : {"__Package_Quorvex.exe", "__Package_Quorvex.exe.part", "__Package_Quorvex.exe_0"})
        tmp.Write(std::string("Pelmora/") + name, "partial");
    const fs::path outside = tmp.Write("outside", "keep");
    fs::create_symlink(outside, folder / "__Package_Quorvex.exe_1");
    tmp.Write("Pelmora/compressor.exe", "product");
    InterruptGuard::RemoveDownloadLeftovers(W(folder / "__Package_Quorvex.exe"));
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder)) left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"compressor.exe"});
    EXPECT_EQ(testsupport::ReadFile(outside), "keep");
}
