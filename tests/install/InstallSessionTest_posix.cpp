// The install session's pre-checks: their order, the first failure, and each folder rule, with
// the POSIX means of making their circumstances (named programs, umasks, owners, small mounts).
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "install/InstallFolderCheck.h"
#include "install/InstallSession.h"
#include "tests/install/ChildScope.h"
#include "tests/install/NamedSleeper_posix.h"
#include "tests/install/ProcessTableLock.h"
#include "tests/install/WidePath.h"
#include "tests/support/TempDir.h"
#include "utils/StringUtils.h"

namespace fs = std::filesystem;
using installtest::AsUnprivileged;
using installtest::NamedSleeper;

namespace {

using installtest::W;

class InstallSessionTest : public ::testing::Test {
protected:
    installtest::ProcessTableLock processTable;
    InstallSession session{[](int32_t, double, const wchar_t*) {}};
    testsupport::TempDir tmp;

    void Use(const fs::path& folder) {
        InstallParams params;
        params.folder = W(folder);
        session.SetParams(params);
    }
    std::wstring FirstNotice() {
        const auto failure = session.RunPreChecks();
        return failure ? failure->noticeId : L"";
    }
};

mode_t ModeOf(const fs::path& p) {
    struct stat st{};
    return ::stat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

}  // namespace

TEST_F(InstallSessionTest, PreChecks_RunInOrderAndStopAtTheFirstFailure) {
    // A running uninstaller copy is reported before the invalid folder name.
    Use(tmp / "bad\"name");
    {
        NamedSleeper uninstaller(tmp / "bin" / "Pelmora_un_asa.exe");
        ASSERT_TRUE(uninstaller.Running());
        const auto failure = session.RunPreChecks();
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->step, PreCheckStep::kUninstallerRunning);
        EXPECT_EQ(failure->noticeId, L"IDMsgSoftRunning");
    }
    // Then the folder; nothing was created for it.
    const auto failure = session.RunPreChecks();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->step, PreCheckStep::kFolder);
    EXPECT_EQ(failure->noticeId, L"IDInvalidPath");
    EXPECT_FALSE(fs::exists(tmp / "bad\"name"));

    // A good folder passes every step (the network probe is off) and is created.
    Use(tmp / "My Apps" / "中文 目录");
    EXPECT_FALSE(session.RunPreChecks());
    EXPECT_TRUE(fs::is_directory(tmp / "My Apps" / "中文 目录"));
    EXPECT_FALSE(session.Check(PreCheckStep::kNetwork));
}

TEST_F(InstallSessionTest, PreChecks_AnEarlierPackageStillRunningInTheFolderRefusesTheRerun) {
    const fs::path folder = tmp / "busy";
    NamedSleeper package(folder / "__Package_Quorvex.exe");
    ASSERT_TRUE(package.Running());
    Use(folder);
    const auto failure = session.Check(PreCheckStep::kUninstallerRunning);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->noticeId, L"IDMsgSoftRunning");
    // The same package in another folder is no hindrance.
    Use(tmp / "other");
    EXPECT_FALSE(session.Check(PreCheckStep::kUninstallerRunning));
}

TEST_F(InstallSessionTest, PreChecks_LessThanOneGibibyteAvailableIsDiskLow) {
    fs::create_directories(tmp / "small");
    fs::create_directories(tmp / "exact");
    // Exactly 1 GiB passes (tmpfs gives the whole size to the caller); a byte less fails.
    const int exact = installtest::OnSmallTmpfs((tmp / "exact").string(), 1ull << 30, [&] {
        Use(tmp / "exact" / "Pelmora");
        return session.RunPreChecks() ? 1 : 0;
    });
    if (exact == 121) GTEST_SKIP() << "no private mount namespace here: the free-space limit is not tested";
    EXPECT_EQ(exact, 0);
    const int small = installtest::OnSmallTmpfs((tmp / "small").string(), (1ull << 30) - 4096, [&] {
        Use(tmp / "small" / "Pelmora");
        const auto failure = session.RunPreChecks();
        return failure && failure->step == PreCheckStep::kFreeSpace && failure->noticeId == L"IDDiskLow" ? 0 : 1;
    });
    EXPECT_EQ(small, 0);
}

TEST(InstallFolderCheck_Names, NamesPackagesCannotTakeAreRefused) {
    for (const std::wstring bad : {L"", L"relative/Pelmora", L"/opt/Pel\"mora", L"/opt/Pelmora ", L"/opt/ Pelmora",
                                   L"/opt/My Apps /Pelmora", L"/opt/Pel\nmora", L"/opt/Pel\tmora", L"/opt/x\x7fy"})
        EXPECT_NE(InstallFolderCheck::NameProblem(bad), L"") << Utils::ToUtf8(bad);
    for (const std::wstring good : {L"/opt/Pelmora", L"/opt/My Apps/中文 目录", L"/opt/Pelmora/", L"/"})
        EXPECT_EQ(InstallFolderCheck::NameProblem(good), L"") << Utils::ToUtf8(good);
}

TEST(InstallFolderCheck_Creation, FoldersAreMadeWithMode0755WhateverTheUmask) {
    testsupport::TempDir tmp;
    for (const mode_t mask : {0000, 0077}) {
        const mode_t old = ::umask(mask);
        const fs::path folder = tmp / ("mask" + std::to_string(mask)) / "a" / "Pelmora";
        const std::wstring problem = InstallFolderCheck::CreateProblem(W(folder));
        ::umask(old);
        EXPECT_EQ(problem, L"");
        EXPECT_EQ(ModeOf(folder), 0755u);
        EXPECT_EQ(ModeOf(folder.parent_path()), 0755u);
    }
    EXPECT_NE(InstallFolderCheck::CreateProblem(W(tmp / std::string(300, 'x'))), L"");
    tmp.Write("file", "x");
    EXPECT_NE(InstallFolderCheck::CreateProblem(W(tmp / "file" / "Pelmora")), L"");
}

TEST(InstallFolderCheck_Creation, AReadOnlyFolderIsRefusedBeforeAnyDownload) {
    testsupport::TempDir tmp;
    const fs::path folder = tmp / "readonly";
    fs::create_directories(folder);
    // An unprivileged user (65534 when the test runs as root) owns a folder it cannot write.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::fchown(fd, installtest::kNobody, installtest::kNobody), 0);
    }
    ASSERT_EQ(::fchmod(fd, 0555), 0);
    // Reached through the descriptor: the test's own folders need not be open to that user.
    const std::wstring path = L"/proc/self/fd/" + std::to_wstring(fd);
    EXPECT_EQ(AsUnprivileged([&] { return InstallFolderCheck::WriteProblem(path).empty() ? 1 : 0; }), 0);
    ASSERT_EQ(::fchmod(fd, 0755), 0);
    EXPECT_EQ(AsUnprivileged([&] { return InstallFolderCheck::WriteProblem(path).empty() ? 0 : 1; }), 0);
    ::close(fd);
    EXPECT_TRUE(fs::is_empty(folder));  // the probe leaves nothing behind
}

TEST(InstallFolderCheck_Ownership, FoldersOthersControlAreRefusedForRoot) {
    testsupport::TempDir tmp;
    const fs::path mine = tmp / "mine" / "Pelmora";
    fs::create_directories(mine);
    fs::permissions(tmp / "mine", fs::perms(0755));
    const uid_t me = ::geteuid();
    // The installing user's own folders (and root's) are trusted, up to "/".
    EXPECT_EQ(InstallFolderCheck::OwnershipProblem(W(mine)), L"");
    EXPECT_EQ(InstallFolderCheck::OwnershipProblem(W(mine / "not" / "yet")), L"");

    // Writable by others without the sticky bit: anyone could swap the package.
    const fs::path open = tmp / "open";
    fs::create_directories(open);
    fs::permissions(open, fs::perms(0777));
    EXPECT_NE(InstallFolderCheck::OwnershipProblem(W(open / "Pelmora")), L"");
    fs::permissions(open, fs::perms(01777));
    EXPECT_EQ(InstallFolderCheck::OwnershipProblem(W(open / "Pelmora")), L"");

    // Owned by another user: as root a folder of uid 65534; otherwise the test user's own
    // folder is foreign to a check that trusts only the system.
    const fs::path foreign = tmp / "foreign";
    fs::create_directories(foreign / "Pelmora");
    InstallFolderCheck::Trust trust = InstallFolderCheck::Trust::kCurrentUser;
    if (me == 0) {
        ASSERT_EQ(::chown(foreign.c_str(), installtest::kNobody, installtest::kNobody), 0);
    } else {
        std::printf("not root: another user's folder is simulated by trusting root alone\n");
        trust = InstallFolderCheck::Trust::kSystemOnly;
    }
    EXPECT_NE(InstallFolderCheck::OwnershipProblem(W(foreign / "Pelmora"), trust), L"");
    EXPECT_NE(InstallFolderCheck::OwnershipProblem(W(foreign / "Pelmora" / "deeper"), trust), L"");
}

TEST_F(InstallSessionTest, PreChecks_AsRootAFolderAnotherUserOwnsIsInvalid) {
    if (::geteuid() != 0) {
        // Root of a user namespace: every folder of the real root's (as "/") belongs to an
        // unmapped user there, so no folder may take the install.
        std::printf("not root: root's refusal is seen from a user namespace\n");
        const int refused = installtest::AsRoot([&] {
            Use(tmp / "planted" / "Pelmora");
            const auto failure = session.Check(PreCheckStep::kFolder);
            return failure && failure->noticeId == L"IDInvalidPath" && !fs::exists(tmp / "planted") ? 0 : 1;
        });
        if (refused == 121) GTEST_SKIP() << "no user namespace here";
        EXPECT_EQ(refused, 0);
        return;
    }
    const fs::path planted = tmp / "planted";
    fs::create_directories(planted);
    ASSERT_EQ(::chown(planted.c_str(), installtest::kNobody, installtest::kNobody), 0);
    Use(planted / "Pelmora");
    const auto failure = session.Check(PreCheckStep::kFolder);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->noticeId, L"IDInvalidPath");
    EXPECT_FALSE(fs::exists(planted / "Pelmora"));
}
