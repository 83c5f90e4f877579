#include "utils/PipedProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "utils/CommandLine.h"
#include "utils/Exception.h"
#include "utils/FileHandle.h"
#include "utils/Pipe_posix.h"
#include "utils/StringUtils.h"

extern char** environ;

namespace Utils {

// Nothing beyond the process id: POSIX waits on a child through its id.
struct PipedProcess::Handles {};

namespace {

// What the forked side needs of the spawn options, in plain values.
struct ForkPlan {
    bool ownProcessGroup = false;
    int parentDeathSignal = 0;  // 0 for none
    int programFd = -1;         // -1: run the file argv[0] names
};

constexpr mode_t kChildCreationMask = 022;

int DecodeStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// The child side of a forked start: only async-signal-safe calls. Reports a failure as its
// errno on `errorFd` (close-on-exec: a successful exec closes it without a word).
[[noreturn]] void ExecChild(char* const* argv, char* const* envp, int in, int out, int err, int errorFd,
                            const ForkPlan& options, const char* workingFolder, pid_t parent) {
    const auto fail = [&errorFd]() {
        const int e = errno;
        [[maybe_unused]] ssize_t n = ::write(errorFd, &e, sizeof e);
        ::_exit(127);
    };
    sigset_t none;
    sigemptyset(&none);
    struct sigaction dfl{};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &dfl, nullptr);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // Whatever mask this process inherited (000 from a careless starter), the programs we start
    // make shared folders: they must not come out writable by everyone.
    ::umask(kChildCreationMask);
    if (options.ownProcessGroup && ::setpgid(0, 0) != 0) fail();
    if (options.parentDeathSignal != 0) {
        if (::prctl(PR_SET_PDEATHSIG, options.parentDeathSignal) != 0) fail();
        // The parent may have ended before the request took effect.
        if (::getppid() != parent) ::_exit(127);
    }
    // The pipe ends go to 0..2, the error report to 3 and the program to 4 (both
    // close-on-exec); everything else is closed. Each is first copied above 9 so that no dup2
    // below overwrites a source that is still needed.
    const int sources[5] = {in, out, err, errorFd, options.programFd};
    int high[5] = {-1, -1, -1, -1, -1};
    for (int i = 0; i < 5; ++i) {
        if (sources[i] < 0) continue;
        high[i] = ::fcntl(sources[i], F_DUPFD_CLOEXEC, 10);
        if (high[i] < 0) fail();
    }
    if (::dup2(high[3], 3) < 0 || ::fcntl(3, F_SETFD, FD_CLOEXEC) != 0) fail();
    errorFd = 3;
    if (::dup2(high[0], 0) < 0 || ::dup2(high[1], 1) < 0 || ::dup2(high[2], 2) < 0) fail();
    const int program = high[4] >= 0 ? 4 : -1;
    if (program >= 0 && (::dup2(high[4], 4) < 0 || ::fcntl(4, F_SETFD, FD_CLOEXEC) != 0)) fail();
    const unsigned firstToClose = program >= 0 ? 5u : 4u;
    if (::syscall(SYS_close_range, firstToClose, ~0u, 0u) != 0)
        for (int fd = static_cast<int>(firstToClose); fd < 65536; ++fd) ::close(fd);
    if (workingFolder && ::chdir(workingFolder) != 0) fail();
    if (program >= 0) {
        ::fexecve(program, argv, envp);
        // A script's interpreter opens the program through /dev/fd: it needs the descriptor
        // kept open across the exec.
        if (errno == ENOENT && ::fcntl(program, F_SETFD, 0) == 0) ::fexecve(program, argv, envp);
    } else {
        ::execvpe(argv[0], argv, envp);
    }
    fail();
    ::_exit(127);  // not reached: fail() exits
}

// The guard between a starter thread and its child: the system sends it the parent-death
// signal when the starting thread ends, which it passes on to the child (its group, when the
// guard leads one); SIGUSR1 makes it step aside without a word; the child's end becomes its
// own (the same exit status, or death by the same signal). Only async-signal-safe calls.
[[noreturn]] void GuardChild(char* const* argv, char* const* envp, int in, int out, int err, int errorFd,
                             const ForkPlan& options, const char* workingFolder, pid_t parent) {
    const auto fail = [&errorFd]() {
        const int e = errno;
        [[maybe_unused]] ssize_t n = ::write(errorFd, &e, sizeof e);
        ::_exit(127);
    };
    const int deathSignal = options.parentDeathSignal;
    struct sigaction dfl{};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &dfl, nullptr);
    // 1. The signals the guard waits for stay blocked and are taken synchronously (no handler:
    // a blocked signal is kept pending even where its default is to be ignored).
    sigset_t handled;
    sigemptyset(&handled);
    sigaddset(&handled, SIGCHLD);
    sigaddset(&handled, SIGUSR1);
    sigaddset(&handled, deathSignal);
    if (::sigprocmask(SIG_SETMASK, &handled, nullptr) != 0) fail();
    // 2. The group (the child joins it) and the signal for the starter's end.
    if (options.ownProcessGroup && ::setpgid(0, 0) != 0) fail();
    if (::prctl(PR_SET_PDEATHSIG, deathSignal) != 0) fail();
    if (::getppid() != parent) ::_exit(127);  // the starter ended before the request took effect
    // 3. The child itself: no group or death signal of its own.
    ForkPlan inner = options;
    inner.ownProcessGroup = false;
    inner.parentDeathSignal = 0;
    // A bare clone: the library's fork runs handlers (and instrumentation) that assume more
    // of this copy of the process than a forked child may use.
    const pid_t child = static_cast<pid_t>(::syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0));
    if (child == 0) ExecChild(argv, envp, in, out, err, errorFd, inner, workingFolder, parent);
    if (child < 0) fail();
    // The guard holds nothing: the pipes reach their end when the child's copies close.
    if (::syscall(SYS_close_range, 0u, ~0u, 0u) != 0)
        for (int fd = 0; fd < 65536; ++fd) ::close(fd);
    // 4. Wait for the child's end, a release or the starter's end. The raw system call: a
    // library wrapper may be replaced by instrumentation that this forked copy cannot serve.
    for (;;) {
        siginfo_t info{};
        const long sig = ::syscall(SYS_rt_sigtimedwait, &handled, &info, nullptr, _NSIG / 8);
        if (sig < 0) continue;  // interrupted
        if (sig == deathSignal) {
            if (options.ownProcessGroup) ::kill(-::getpid(), deathSignal);
            else ::kill(child, deathSignal);
            ::_exit(128 + deathSignal);
        }
        if (sig == SIGUSR1) ::_exit(0);
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(child, &status, WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r != child) continue;
        if (WIFEXITED(status)) ::_exit(WEXITSTATUS(status));
        const int end = WTERMSIG(status);
        const struct rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::sigaction(end, &dfl, nullptr);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, end);
        ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
        ::kill(::getpid(), end);
        ::_exit(128 + end);
    }
}

}  // namespace

PipedProcess::PipedProcess()
    : stderr_(std::make_unique<Pipe>()),
      stdout_(std::make_unique<Pipe>()),
      stdin_(std::make_unique<Pipe>()),
      handles_(std::make_unique<Handles>()) {}

PipedProcess::~PipedProcess() {
    if (pid_ > 0) TryExitCode();
}

void PipedProcess::Start(const std::wstring& commandLine, const std::filesystem::path& workingFolder) {
    std::vector<std::string> argv;
    for (const auto& arg : SplitCommandLine(commandLine)) argv.push_back(ToUtf8(arg));
    Start(argv, workingFolder);
}

void PipedProcess::Start(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder) {
    // posix_spawn cannot set the child's creation mask, and changing this process's own mask
    // around it would reach every other thread: the forked start sets it in the child alone.
    Start(argv, SpawnOptions{}, workingFolder);
}

void PipedProcess::Start(const std::vector<std::string>& argv, const SpawnOptions& options,
                         const std::filesystem::path& workingFolder) {
    if (pid_ > 0) throw Exception("process already started");
    if (argv.empty() || argv[0].empty()) throw Exception("empty command line");
    std::vector<char*> cargv;
    for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);
    const std::string folder = workingFolder.string();
    ForkPlan plan;
    plan.ownProcessGroup = options.ownProcessGroup;
    plan.parentDeathSignal = options.stopWithStarter ? SIGTERM : 0;
    plan.programFd = options.program ? options.program->Native() : -1;

    // The child reports a failed start as its errno on this pipe (close-on-exec: an exec closes it).
    Pipe errorPipe;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const auto start = plan.parentDeathSignal != 0 ? GuardChild : ExecChild;
        start(cargv.data(), environ, stdin_->Native().read.Native(), stdout_->Native().write.Native(),
              stderr_->Native().write.Native(), errorPipe.Native().write.Native(), plan,
              folder.empty() ? nullptr : folder.c_str(), parent);
    }
    errorPipe.CloseWrite();
    if (pid < 0) throw Exception("fork failed");
    int childErrno = 0;
    const std::ptrdiff_t n = errorPipe.Read(&childErrno, sizeof childErrno);
    pid_ = pid;
    guarded_ = plan.parentDeathSignal != 0;
    grouped_ = options.ownProcessGroup;
    if (n > 0) {
        Wait();
        throw Exception("exec failed: errno " + std::to_string(childErrno));
    }
    stdout_->CloseWrite();
    stderr_->CloseWrite();
    stdin_->CloseRead();
}

void PipedProcess::Start(const std::wstring& commandLine, const SpawnOptions& options,
                             const std::filesystem::path& workingFolder) {
    std::vector<std::string> argv;
    for (const auto& arg : SplitCommandLine(commandLine)) argv.push_back(ToUtf8(arg));
    Start(argv, options, workingFolder);
}

std::optional<int> PipedProcess::TryExitCode() {
    if (exitCode_) return exitCode_;
    if (pid_ <= 0) return std::nullopt;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(static_cast<pid_t>(pid_), &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == pid_) {
        exitCode_ = DecodeStatus(status);
        termSignal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    } else if (r < 0) {
        exitCode_ = -1;  // not our child any more (reaped elsewhere)
    }
    return exitCode_;
}

int PipedProcess::Wait() {
    if (exitCode_) return *exitCode_;
    if (pid_ <= 0) return -1;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(static_cast<pid_t>(pid_), &status, 0);
    } while (r < 0 && errno == EINTR);
    exitCode_ = (r == pid_) ? DecodeStatus(status) : -1;
    termSignal_ = (r == pid_ && WIFSIGNALED(status)) ? WTERMSIG(status) : 0;
    return *exitCode_;
}

bool PipedProcess::StopGroup() {
    if (!grouped_ || pid_ <= 0) return false;
    return ::kill(-static_cast<pid_t>(pid_), SIGKILL) == 0 || errno == ESRCH;
}

void PipedProcess::LetGo() {
    if (!guarded_ || pid_ <= 0 || exitCode_) return;
    if (::kill(static_cast<pid_t>(pid_), SIGUSR1) == 0) Wait();
    exitCode_.reset();
    termSignal_ = 0;
    pid_ = -1;
    guarded_ = false;
    grouped_ = false;
}

}  // namespace Utils
