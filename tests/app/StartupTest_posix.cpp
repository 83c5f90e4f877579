// Runs the real installer executable as a child process.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
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

// The test's display, when it has one, for the installer's screen size.
void AddDisplay(std::vector<std::string>& env) {
    for (const char* name : {"DISPLAY", "XAUTHORITY"})
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
}

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
                                      "HOME=" + runtime.string(), "PATH=/usr/bin:/bin"},
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

namespace {

// Starts the installer without waiting, with the test's display (for the screen size; only
// for "-silent" runs, which open no window); standard error goes to `errFile`.
pid_t StartInstaller(const std::filesystem::path& runtime, std::vector<std::string> args,
                     const std::filesystem::path& errFile) {
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtime.string(), "HOME=" + runtime.string(),
                                    "PATH=/usr/bin:/bin"};
    AddDisplay(env);
    return SpawnInstaller(std::move(env), std::move(args), errFile);
}

// Keeps the build's loopback collection port (tests send analytics to QV_COLLECT_HOST, where
// other test programs run collectors for a while) bound without listening, so connections to
// it are refused: the collector is down. Nothing to hold for a host elsewhere.
struct CollectorDown {
    CollectorDown() {
        const std::string host = QV_COLLECT_HOST;
        if (host.rfind("http://127.0.0.1:", 0) != 0) {
            held = true;  // not on this machine: unreachable without a network
            return;
        }
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(std::atoi(host.c_str() + host.rfind(':') + 1)));
        for (int i = 0; i < 200 && !held; ++i) {
            fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            held = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
            if (!held) {
                if (fd >= 0) close(fd);
                fd = -1;
                if (errno == EACCES) {  // a privileged port: no one else can open it either
                    held = true;
                    break;
                }
                usleep(50000);
            }
        }
    }
    ~CollectorDown() {
        if (fd >= 0) close(fd);
    }
    bool Held() const { return held; }
    int fd = -1;
    bool held = false;
};

// A loopback port that accepts connections (into its backlog) and never answers.
struct SilentServer {
    SilentServer() {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(fd, 16) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            throw std::runtime_error("silent server");
        port = ntohs(addr.sin_port);
    }
    ~SilentServer() { close(fd); }
    int fd = -1;
    int port = 0;
};

}  // namespace

TEST(Startup_Crash, ACrashIsReportedByTheNextStartAndKeptWhileTheCollectorIsDown) {
    testsupport::TempDir runtime;
    SilentServer server;
    const auto errFile = runtime / "crashed-run.txt";
    // The unattended run stalls in its download; there it is crashed. Its pre-check for a
    // running uninstaller copy looks at every process on the machine, so a test running one in
    // parallel can end it early: then it is simply started again.
    int status = 0;
    for (int attempt = 0; attempt < 20; ++attempt) {
        const pid_t pid = StartInstaller(runtime.path(),
                                         {"-silent", "-installdir=" + (runtime / "Quorvex").string(),
                                          "-downloadtype=1", "-ischecknet=false",
                                          "-downloadurl=http://127.0.0.1:" + std::to_string(server.port) + "/p.exe"},
                                         errFile);
        ASSERT_GT(pid, 0);
        for (int i = 0; i < 500 && testsupport::ReadFile(errFile).find("START") == std::string::npos; ++i)
            usleep(10000);
        usleep(300000);
        if (waitpid(pid, &status, WNOHANG) == pid) {  // ended before the crash
            usleep(200000);
            continue;
        }
        ASSERT_EQ(kill(pid, SIGSEGV), 0);
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        break;
    }
    ASSERT_TRUE(WIFSIGNALED(status)) << testsupport::ReadFile(errFile);
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    const auto marker = runtime / ".local/state/VarNelSoft/Quorvex_Installer.crash";
    EXPECT_EQ(testsupport::ReadFile(marker), "signal 11\n");

    // The next start reports it, whatever it then does (here: an unattended run refused at
    // its first pre-checks). Its collector is down, so the crash records must wait in the
    // staging file for the start after.
    const auto inTheWay = runtime.Write("file", "x");
    const auto errFile2 = runtime / "next-run.txt";
    {
        CollectorDown down;
        if (!down.Held()) GTEST_SKIP() << "the collection port " << QV_COLLECT_HOST << " stays taken";
        const pid_t next = StartInstaller(runtime.path(), {"-silent", "-installdir=" + (inTheWay / "sub").string()}, errFile2);
        ASSERT_GT(next, 0);
        ASSERT_EQ(waitpid(next, &status, 0), next);
        // 2: the folder cannot be made; 5: a parallel test's uninstaller copy was seen first.
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_TRUE(WEXITSTATUS(status) == 2 || WEXITSTATUS(status) == 5) << WEXITSTATUS(status);
    }
    const std::string err = testsupport::ReadFile(errFile2);
    EXPECT_NE(err.find("previous run crashed (signal 11)"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(marker));
    std::string staged;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(runtime / ".local/state"))
        if (entry.path().filename() == "EventCollect.staging") staged += testsupport::ReadFile(entry.path());
    EXPECT_NE(staged.find("崩溃退出"), std::string::npos) << staged.substr(0, 2000) << err;
    // The records carry the screen's size when there is a display (the test script's Xvfb).
    if (const char* display = std::getenv("DISPLAY"); display && *display) {
        EXPECT_EQ(staged.find("\"$screen_width\":0"), std::string::npos) << staged.substr(0, 2000);
        EXPECT_NE(staged.find("\"$screen_width\":"), std::string::npos) << staged.substr(0, 2000);
    }
}
