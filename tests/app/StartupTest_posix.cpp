// Runs the real installer executable as a child process.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <optional>

#include "app/InstanceLock.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "utils/StringUtils.h"

extern char** environ;

namespace {

// Without "-silent" and without a display the installer starts up, finds no display for its
// window and shuts down with this code.
constexpr int kExitNoWindow = 1;

// Starts the installer with `env` as its whole environment and `args` after its name, standard
// error written to `errFile`; `closedDescriptors` are closed in the child instead of being
// inherited. Returns its pid, or -1 when it did not start.
pid_t SpawnInstaller(std::vector<std::string> env, std::vector<std::string> args, const std::filesystem::path& errFile,
                     const std::vector<int>& closedDescriptors = {}) {
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    args.insert(args.begin(), INSTALLER_EXE);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    for (int fd : closedDescriptors) posix_spawn_file_actions_addclose(&fa, fd);
    pid_t pid = -1;
    if (posix_spawn(&pid, INSTALLER_EXE, &fa, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

// Runs the installer with XDG_RUNTIME_DIR pointing at `runtime` (or, with `runtimeAsTmpdir`,
// without XDG_RUNTIME_DIR and TMPDIR there) and without a display; returns its exit status.
// `closedDescriptors` are closed in the child instead of being inherited (standard error is
// then not captured).
int RunInstaller(const std::filesystem::path& runtime, std::vector<std::string> args, std::string* stderrText = nullptr,
                 const std::vector<int>& closedDescriptors = {}, bool runtimeAsTmpdir = false) {
    const auto errFile = runtime / "stderr.txt";
    const pid_t pid = SpawnInstaller({(runtimeAsTmpdir ? "TMPDIR=" : "XDG_RUNTIME_DIR=") + runtime.string(),
                                      "HOME=" + runtime.string(), "PATH=/usr/bin:/bin", "QV_TRACE=stderr"},
                                     std::move(args), errFile, closedDescriptors);
    if (pid < 0) return -1000;
    int status = 0;
    waitpid(pid, &status, 0);
    if (stderrText) *stderrText = testsupport::ReadFile(errFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
}

struct ScopedRuntimeDir : testsupport::ScopedEnv {
    explicit ScopedRuntimeDir(const std::filesystem::path& p) : ScopedEnv("XDG_RUNTIME_DIR", p.string()) {}
};

// XDG_RUNTIME_DIR unset and TMPDIR at `tmp` for the length of a scope.
struct ScopedNoRuntimeDir {
    explicit ScopedNoRuntimeDir(const std::filesystem::path& tmp) : tmpdir_("TMPDIR", tmp.string()) {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) saved_ = old;
        unsetenv("XDG_RUNTIME_DIR");
    }
    ~ScopedNoRuntimeDir() {
        if (saved_) setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
    }
    testsupport::ScopedEnv tmpdir_;
    std::optional<std::string> saved_;
};

constexpr char kLockName[] = "D1A547DB89C0BC61_Installer_Quorvex";

// Where the lock file is: on Linux the lock's object name is its file's path.
std::filesystem::path LockPath(const InstanceLock& lock) { return Utils::ToUtf8(lock.ObjectName()); }
constexpr char kPrivateTemp[] = "~VarNelTemp.92482B06FB471E17";

}  // namespace

TEST(Startup_SingleInstance, SecondInstanceExitsWith255WhileTheFirstHoldsTheLock) {
    testsupport::TempDir runtime;
    ScopedRuntimeDir scoped(runtime.path());
    InstanceLock first;
    ASSERT_TRUE(first.Acquire());
    EXPECT_EQ(LockPath(first), runtime.path() / "D1A547DB89C0BC61_Installer_Quorvex");
    std::string err;
    EXPECT_EQ(RunInstaller(runtime.path(), {}, &err), 255);
    EXPECT_EQ(err, "");  // silently
    first.Release();
    EXPECT_EQ(RunInstaller(runtime.path(), {}), kExitNoWindow);
}

TEST(Startup_SingleInstance, LockIsPerProcessAndReleasedOnRelease) {
    testsupport::TempDir runtime;
    ScopedRuntimeDir scoped(runtime.path());
    InstanceLock a;
    InstanceLock b;
    ASSERT_TRUE(a.Acquire());
    EXPECT_FALSE(b.Acquire());  // a second open file description conflicts, as another process would
    a.Release();
    EXPECT_TRUE(b.Acquire());
}

TEST(Startup_SingleInstance, ALinkInPlaceOfTheLockFileIsNeverFollowed) {
    testsupport::TempDir runtime;
    ScopedRuntimeDir scoped(runtime.path());
    const auto victim = runtime.Write("victim", "keep");
    std::filesystem::create_symlink(victim, runtime.path() / "D1A547DB89C0BC61_Installer_Quorvex");
    InstanceLock lock;
    EXPECT_FALSE(lock.Acquire());
    EXPECT_EQ(testsupport::ReadFile(victim), "keep");
}

TEST(Startup_Run, StartsAndShutsDownWithOptionsApplied) {
    testsupport::TempDir runtime;
    std::string err;
    EXPECT_EQ(RunInstaller(runtime.path(), {"-downloadtype=3", "-downloadurl=http://127.0.0.1:1/${ROUTE}"}, &err),
              kExitNoWindow);
    EXPECT_NE(err.find("(RunInstaller)"), std::string::npos) << err;
    EXPECT_NE(err.find("type=3 url=http://127.0.0.1:1/download_silent"), std::string::npos) << err;
}

TEST(Startup_Run, ClosedStandardDescriptorsAreFilledBeforeAnythingIsOpened) {
    // With descriptor 2 closed, the first file the installer opens (its lock file) would take
    // its place and receive the trace.
    for (const std::vector<int>& closed : {std::vector<int>{2}, std::vector<int>{0, 1, 2}, std::vector<int>{1}}) {
        testsupport::TempDir runtime;
        EXPECT_EQ(RunInstaller(runtime.path(), {"-downloadtype=3"}, nullptr, closed), kExitNoWindow);
        const auto lockFile = runtime.path() / "D1A547DB89C0BC61_Installer_Quorvex";
        ASSERT_TRUE(std::filesystem::exists(lockFile));
        EXPECT_EQ(testsupport::ReadFile(lockFile), "") << "closed descriptors: " << closed.size();
    }
}

TEST(Startup_SingleInstance, WithoutARuntimeFolderTheLockLivesInThePrivateTemporaryFolder) {
    // Never a file in the shared temporary root itself, which another user could own first.
    testsupport::TempDir tmp;
    {
        ScopedNoRuntimeDir scoped(tmp.path());
        InstanceLock lock;
        ASSERT_TRUE(lock.Acquire());
        EXPECT_EQ(LockPath(lock), tmp.path() / kPrivateTemp / kLockName);
        struct stat st {};
        ASSERT_EQ(lstat((tmp.path() / kPrivateTemp).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0700u);
        EXPECT_FALSE(std::filesystem::exists(tmp.path() / kLockName));
        // The real executable agrees on the place: it finds the lock held.
        EXPECT_EQ(RunInstaller(tmp.path(), {}, nullptr, {}, true), 255);
    }
    EXPECT_EQ(RunInstaller(tmp.path(), {}, nullptr, {}, true), kExitNoWindow);
    EXPECT_FALSE(std::filesystem::exists(tmp.path() / kLockName));
}

TEST(Startup_SingleInstance, ARuntimeFolderOthersCanWriteIsNotTrusted) {
    testsupport::TempDir tmp;
    const auto shared = tmp.path() / "shared";
    std::filesystem::create_directory(shared);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    ScopedRuntimeDir runtime(shared);
    testsupport::ScopedEnv tmpdir("TMPDIR", tmp.path().string());
    InstanceLock lock;
    ASSERT_TRUE(lock.Acquire());
    EXPECT_EQ(LockPath(lock).parent_path().filename(), kPrivateTemp);
    EXPECT_FALSE(std::filesystem::exists(shared / kLockName));
}
