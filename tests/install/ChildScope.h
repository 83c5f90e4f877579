#pragma once
// Runs a piece of a test in a forked child that changes what a test process must not change
// for itself: its user (an unprivileged user when the test runs as root) or its mount table (a
// small tmpfs, in a private mount namespace). The child's result is its exit status.
//
// Only for single-threaded test programs: the child of a threaded process may only call
// async-signal-safe functions before it execs.
#include <fcntl.h>
#include <cerrno>
#include <functional>
#include <grp.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace installtest {

inline constexpr uid_t kNobody = 65534;

// The exit status of `body` run in a child; -1 when the child could not run or died by a
// signal.
inline int InChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) ::_exit(body());
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// In a child: becomes user and group 65534 when root (an unprivileged user already is one),
// then runs `body`.
inline int AsUnprivileged(const std::function<int()>& body) {
    return InChild([&] {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
                                 ::setresuid(kNobody, kNobody, kNobody) != 0))
            return 120;
        return body();
    });
}

inline bool WriteWhole(const char* file, const std::string& text) {
    const int fd = ::open(file, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

// In a child that is root: the test's own root, or a user namespace that maps the test user
// to uid 0 (root there, nobody elsewhere). 121 when no user namespace can be made.
inline int AsRoot(const std::function<int()>& body) {
    return InChild([&] {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (uid != 0) {
            if (::unshare(CLONE_NEWUSER) != 0) return 121;
            WriteWhole("/proc/self/setgroups", "deny");
            if (!WriteWhole("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1\n") ||
                !WriteWhole("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1\n"))
                return 121;
        }
        return body();
    });
}

// In a child with a private mount namespace (a user namespace too when not root): a tmpfs of
// `bytes` on `mountPoint` (an existing folder), then `body`. 121 when the namespace or the
// mount is refused (the caller may then skip).
inline int OnSmallTmpfs(const std::string& mountPoint, size_t bytes, const std::function<int()>& body) {
    return InChild([&] {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (uid != 0) {
            if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return 121;
            WriteWhole("/proc/self/setgroups", "deny");
            if (!WriteWhole("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n") ||
                !WriteWhole("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n"))
                return 121;
        } else if (::unshare(CLONE_NEWNS) != 0) {
            return 121;
        }
        if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return 121;
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, options.c_str()) != 0) return 121;
        return body();
    });
}

}  // namespace installtest
