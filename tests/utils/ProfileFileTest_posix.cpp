#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/TempDir.h"
#include "utils/ProfileFile.h"
#include "utils/ProfileUpdate.h"

using namespace Utils;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

constexpr uid_t kNobody = 65534;

// Runs `body` as an unprivileged user: in place when the test already is one, else in a forked
// child that drops to uid/gid 65534, so the non-root behaviour is tested under root as well.
// Returns body's result.
bool RunUnprivileged(const std::function<bool()>& body) {
    if (geteuid() != 0) return body();
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A folder the unprivileged user of RunUnprivileged owns and can reach (under root the test
// root is private to root, so it lives in the system's temporary folder).
struct UnprivilegedDir {
    UnprivilegedDir() {
        if (geteuid() != 0) {
            path = own.path();
            return;
        }
        std::string tmpl = "/tmp/qv-unpriv.XXXXXX";
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
        path = tmpl;
        chmod(path.c_str(), 0755);
        if (chown(path.c_str(), kNobody, kNobody) != 0) throw std::runtime_error("chown");
    }
    ~UnprivilegedDir() {
        std::error_code ec;
        if (geteuid() == 0) std::filesystem::remove_all(path, ec);
    }
    TempDir own;
    std::filesystem::path path;
};

}  // namespace

TEST(ProfileFile_Write, KeepsEveryOtherLineByteForByte) {
    TempDir dir;
    const auto f = dir.Write("a.ini", "; keep me\n[A]\nx=1\n\n[B]\ny=2\n");
    ASSERT_TRUE(WriteProfileString(L"a", L"X", L"10", f));
    ASSERT_TRUE(WriteProfileString(L"A", L"z", L"3", f));
    ASSERT_TRUE(WriteProfileString(L"C", L"w", L"中文", f));
    EXPECT_EQ(ReadFile(f), "; keep me\n[A]\nX=10\nz=3\n\n[B]\ny=2\n\n[C]\nw=中文\n");
}

TEST(ProfileFile_Write, NewFileHoldsExactlyTheSectionAndKey) {
    TempDir dir;
    const auto f = dir / "new.ini";
    ASSERT_TRUE(WriteProfileString(L"Init", L"UpdateTime", L"2026-12-09 06:00:00", f));
    EXPECT_EQ(ReadFile(f), "[Init]\nUpdateTime=2026-12-09 06:00:00\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(ProfileFile_Write, NeverReplacesAFileItCannotRead) {
    UnprivilegedDir dir;  // root reads any file: the writer runs as an ordinary user
    const auto f = dir.path / "a.ini";
    EXPECT_TRUE(RunUnprivileged([&] {
        std::ofstream(f) << "[s]\nprecious=1\n";
        chmod(f.c_str(), 0200);
        const bool written = WriteProfileString(L"s", L"k", L"v", f);
        chmod(f.c_str(), 0600);
        return !written && ReadFile(f) == "[s]\nprecious=1\n";
    }));
}

TEST(ProfileFile_Link, WritesThroughToTheTargetAtomicallyBesideIt) {
    TempDir dir;
    const auto target = dir.Write("real/set.ini", "[s]\nold=1\n");
    std::filesystem::create_directory(dir / "install");
    const auto link = dir / "install/set.ini";
    std::filesystem::create_symlink("../real/set.ini", link);
    ASSERT_TRUE(WriteProfileString(L"s", L"new", L"2", link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(target), "[s]\nold=1\nnew=2\n");
    // The temporary file was made and renamed beside the target: nothing else anywhere.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "real"), {}), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "install"), {}), 1);
    // A chain of links resolves the same way.
    std::filesystem::create_symlink(link, dir / "chain.ini");
    ASSERT_TRUE(WriteProfileString(L"s", L"third", L"3", dir / "chain.ini"));
    EXPECT_EQ(ReadFile(target), "[s]\nold=1\nnew=2\nthird=3\n");
}

TEST(ProfileFile_Link, RefusesALinkOrTargetOfAnotherUser) {
    TempDir dir;
    if (geteuid() == 0) {
        // Root could write anywhere: only the owner check stops it.
        const auto target = dir.Write("theirs.ini", "[s]\nk=1\n");
        ASSERT_EQ(chown(target.c_str(), kNobody, kNobody), 0);
        std::filesystem::create_symlink(target, dir / "to-theirs.ini");
        EXPECT_FALSE(WriteProfileString(L"s", L"k", L"2", dir / "to-theirs.ini"));
        EXPECT_EQ(ReadFile(target), "[s]\nk=1\n");

        const auto mine = dir.Write("mine.ini", "[s]\nk=1\n");
        std::filesystem::create_symlink(mine, dir / "their-link.ini");
        ASSERT_EQ(lchown((dir / "their-link.ini").c_str(), kNobody, kNobody), 0);
        EXPECT_FALSE(WriteProfileString(L"s", L"k", L"2", dir / "their-link.ini"));
        EXPECT_EQ(ReadFile(mine), "[s]\nk=1\n");
    } else {
        // A file of root's behind our own link.
        std::filesystem::create_symlink("/etc/hostname", dir / "to-root.ini");
        const std::string before = ReadFile("/etc/hostname");
        EXPECT_FALSE(WriteProfileString(L"s", L"k", L"2", dir / "to-root.ini"));
        EXPECT_EQ(ReadFile("/etc/hostname"), before);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "s.ini"));
}

TEST(ProfileFile_Concurrency, TwoProcessesWritingTheSameFileKeepEveryKey) {
    TempDir dir;
    const auto f = dir / "shared.ini";
    constexpr int kKeysEach = 150;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        if (children[c] == 0) {
            bool ok = true;
            for (int i = 0; i < kKeysEach; ++i)
                ok = WriteProfileString(L"s", L"k" + std::to_wstring(c) + L"_" + std::to_wstring(i), L"v", f) && ok;
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto profile = ProfileFile::Load(f);
    int missing = 0;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < kKeysEach; ++i)
            if (!profile.Get(L"s", L"k" + std::to_wstring(c) + L"_" + std::to_wstring(i))) ++missing;
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(ProfileFile_Write, RefusesSomethingOtherThanAFile) {
    TempDir dir;
    const auto fifo = dir / "fifo.ini";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(WriteProfileString(L"s", L"k", L"v", fifo));  // and does not hang on it
}

TEST(ProfileFile_Write, KeepsTheModeOfAnExistingFile) {
    TempDir dir;
    const auto f = dir.Write("a.ini", "[s]\n");
    chmod(f.c_str(), 0640);
    ASSERT_TRUE(WriteProfileString(L"s", L"k", L"v", f));
    struct stat st{};
    stat(f.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(ProfileFile_Write, NewFilesGetTheirModeWhateverTheUmask) {
    for (const mode_t mask : {0000, 0077, 0777}) {
        TempDir dir;
        const mode_t old = umask(mask);
        const bool written = WriteProfileString(L"s", L"k", L"v", dir / "a.ini");
        const bool privateWritten = UpdateProfileFile(dir / "p.ini", [](ProfileFile& p) { return p.Set(L"s", L"k", L"v"); }, 0600);
        umask(old);
        ASSERT_TRUE(written && privateWritten) << "umask " << mask;
        struct stat st {};
        stat((dir / "a.ini").c_str(), &st);
        EXPECT_EQ(st.st_mode & 07777, 0644u) << "umask " << mask;
        stat((dir / "p.ini").c_str(), &st);
        EXPECT_EQ(st.st_mode & 07777, 0600u) << "umask " << mask;
    }
}

