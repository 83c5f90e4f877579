#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "utils/Folders.h"
#include "utils/StringUtils.h"

using namespace Utils;
using testsupport::TempDir;

namespace {

// Points the temporary root at a test folder for the length of a test.
struct TempRootOverride : testsupport::ScopedEnv {
    explicit TempRootOverride(const std::filesystem::path& root) : ScopedEnv("XDG_RUNTIME_DIR", root.string()) {}
};

mode_t ModeOf(const std::filesystem::path& p) {
    struct stat st{};
    lstat(p.c_str(), &st);
    return st.st_mode;
}

}  // namespace

TEST(Folders_Temp, CreatesAPrivateFolderAndReusesIt) {
    TempDir dir;
    TempRootOverride root(dir.path());
    const std::wstring folder = GetTempFolder();
    const auto expected = dir.path() / "~VarNelTemp.92482B06FB471E17";
    EXPECT_EQ(folder, FromUtf8(expected.string()) + L"/");
    EXPECT_EQ(ModeOf(expected) & 0777, 0700u);
    std::ofstream(expected / "marker") << "x";
    EXPECT_EQ(GetTempFolder(), folder);
    EXPECT_TRUE(std::filesystem::exists(expected / "marker"));
}

TEST(Folders_Temp, RefusesALinkOrAFolderOthersCanEnter) {
    TempDir dir;
    TempRootOverride root(dir.path());
    const auto target = dir.path() / "elsewhere";
    std::filesystem::create_directory(target);
    chmod(target.c_str(), 0700);
    std::filesystem::create_directory_symlink(target, dir.path() / "~VarNelTemp.92482B06FB471E17");
    EXPECT_EQ(GetTempFolder(), L"");

    TempDir dir2;
    TempRootOverride root2(dir2.path());
    const auto open = dir2.path() / "~VarNelTemp.92482B06FB471E17";
    std::filesystem::create_directory(open);
    chmod(open.c_str(), 0777);
    EXPECT_EQ(GetTempFolder(), L"");
}

TEST(Folders_Temp, RefusesAFolderAnotherUserMade) {
    TempDir dir;
    const auto theirs = dir.path() / "~VarNelTemp.92482B06FB471E17";
    if (geteuid() == 0) {
        chmod(dir.path().c_str(), 0755);
        std::filesystem::create_directory(theirs);
        chmod(theirs.c_str(), 0700);
        ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
        TempRootOverride root(dir.path());
        EXPECT_EQ(GetTempFolder(), L"");
        return;
    }
    // Unprivileged: inside a user and mount namespace of our own, root's private home folder
    // mounted at the name stands for a folder another user made (mode 0700, so only its owner
    // is wrong).
    const char* foreign = "/root";
    struct stat st {};
    if (lstat(foreign, &st) != 0 || !S_ISDIR(st.st_mode) || (st.st_mode & 0777) != 0700 || st.st_uid == geteuid())
        GTEST_SKIP() << "no private folder of another user to stand in (/root with mode 0700)";
    std::filesystem::create_directory(theirs);
    const pid_t pid = fork();
    if (pid == 0) {
        const uid_t uid = geteuid();
        const gid_t gid = getegid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) _exit(10);
        const auto put = [](const char* file, const std::string& text) {
            std::ofstream out(file);
            out << text;
            return static_cast<bool>(out.flush());
        };
        if (!put("/proc/self/setgroups", "deny") || !put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            _exit(11);
        if (mount(foreign, theirs.c_str(), nullptr, MS_BIND, nullptr) != 0) _exit(12);
        setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
        _exit(GetTempFolder().empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) >= 10) GTEST_SKIP() << "user namespaces are not available here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a folder of another user was accepted";
}

TEST(Folders_Modes, NewFoldersGetTheirModeWhateverTheUmask) {
    for (const mode_t mask : {0000, 0077, 0777}) {
        TempDir dir;
        const mode_t old = umask(mask);
        const bool created = CreateDirectories(FromUtf8((dir.path() / "a/b").string()));
        const bool privateCreated = CreateDirectories(FromUtf8((dir.path() / "p/q").string()), 0700);
        const bool storeCreated = CreateFolders(dir.path() / "s/t");
        std::wstring temp;
        {
            TempRootOverride root(dir.path());
            temp = GetTempFolder();
        }
        umask(old);
        ASSERT_TRUE(created && privateCreated && storeCreated) << "umask " << mask;
        EXPECT_EQ(ModeOf(dir.path() / "a") & 07777, 0755u) << "umask " << mask;
        EXPECT_EQ(ModeOf(dir.path() / "a/b") & 07777, 0755u) << "umask " << mask;
        EXPECT_EQ(ModeOf(dir.path() / "p/q") & 07777, 0700u) << "umask " << mask;
        EXPECT_EQ(ModeOf(dir.path() / "s/t") & 07777, 0755u) << "umask " << mask;
        EXPECT_NE(temp, L"") << "umask " << mask;
        EXPECT_EQ(ModeOf(dir.path() / "~VarNelTemp.92482B06FB471E17") & 07777, 0700u) << "umask " << mask;
    }
}

TEST(Folders_Modes, ExistingFoldersKeepTheirMode) {
    TempDir dir;
    std::filesystem::create_directory(dir / "kept");
    chmod((dir / "kept").c_str(), 0750);
    ASSERT_TRUE(CreateDirectories(FromUtf8((dir / "kept/new").string())));
    EXPECT_EQ(ModeOf(dir / "kept") & 07777, 0750u);
}
