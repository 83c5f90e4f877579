#include "app/CrashReporter.h"

#include <atomic>
#include <csignal>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

#include "utils/StringUtils.h"

extern char** environ;

namespace {

// Everything the reporter's start needs, built once before any crash and never freed (the
// handler may run while static destructors run at exit).
struct Plan {
    std::string program;
    std::vector<std::string> strings;  // argv, then the environment
    std::vector<char*> argv;
    std::vector<char*> envp;
};

std::atomic<const Plan*> g_plan{nullptr};

// The arguments exactly as this process got them (bytes, not decoded text).
bool ReadOwnArguments(std::vector<std::string>& arguments) {
    const int fd = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            if (n < 0) return false;
            break;
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
    for (size_t start = 0; start < bytes.size();) {
        const size_t end = bytes.find('\0', start);
        arguments.push_back(bytes.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return !arguments.empty();
}

}  // namespace

bool CrashReporter::Prepare(const std::filesystem::path& program) {
    std::vector<std::string> own;
    if (!ReadOwnArguments(own)) return false;
    auto plan = std::make_unique<Plan>();
    // This very executable, even when its file was replaced or removed since it started.
    plan->program = program.empty() ? "/proc/self/exe" : program.string();
    plan->strings.push_back(own[0]);
    plan->strings.push_back(Utils::ToUtf8(kOption));
    plan->strings.insert(plan->strings.end(), own.begin() + 1, own.end());
    const size_t argumentCount = plan->strings.size();
    for (char** e = environ; e && *e; ++e) plan->strings.emplace_back(*e);
    for (size_t i = 0; i < plan->strings.size(); ++i)
        (i < argumentCount ? plan->argv : plan->envp).push_back(plan->strings[i].data());
    plan->argv.push_back(nullptr);
    plan->envp.push_back(nullptr);
    // An earlier plan stays allocated: a handler on another thread may still be reading it.
    g_plan.store(plan.release(), std::memory_order_release);
    return true;
}

bool CrashReporter::Launch() noexcept {
    const Plan* plan = g_plan.load(std::memory_order_acquire);
    if (!plan) return false;
    const int savedErrno = errno;
    // A bare clone rather than fork(): the library's fork runs at-fork handlers, which may take
    // locks the crashed thread holds. Only raw system calls follow in the child.
    const long pid = ::syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
    if (pid == 0) {
        // The handler runs with the crash signal blocked, and a mask survives exec.
        sigset_t none;
        sigemptyset(&none);
        ::syscall(SYS_rt_sigprocmask, SIG_SETMASK, &none, nullptr, _NSIG / 8);
        // The reporter reads nothing from the user and writes nothing into the output someone
        // may be collecting from the crashed run (a reader would wait for the reporter's end);
        // standard error keeps its trace.
        const long null = ::syscall(SYS_openat, AT_FDCWD, "/dev/null", O_RDWR | O_CLOEXEC);
        if (null > 2) {
            ::syscall(SYS_dup3, null, 0, 0);
            ::syscall(SYS_dup3, null, 1, 0);
        }
        // Nothing else of this process (the lock file among it).
        if (::syscall(SYS_close_range, 3u, ~0u, 0u) != 0)
            for (int fd = 3; fd < 65536; ++fd) ::syscall(SYS_close, fd);
        ::syscall(SYS_execve, plan->program.c_str(), plan->argv.data(), plan->envp.data());
        ::syscall(SYS_exit_group, 127);
    }
    errno = savedErrno;
    return pid > 0;
}
