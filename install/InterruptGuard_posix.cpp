#include "install/InterruptGuard.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include "install/StatusChildRun.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
std::atomic<int> g_signalFd{-1};
struct sigaction g_previous[3];

void OnSignal(int sig) {
    const int saved = errno;
    const int fd = g_signalFd.load();
    const unsigned char byte = static_cast<unsigned char>(sig);
    if (fd >= 0) [[maybe_unused]] ssize_t n = ::write(fd, &byte, 1);
    errno = saved;
}

bool GroupGone(pid_t group) { return ::kill(-group, 0) != 0 && errno == ESRCH; }

}  // namespace

struct InterruptGuard::State {
    std::wstring packagePath;
    std::function<void()> beforeExit;
    int signalPipe[2] = {-1, -1};
    int stopPipe[2] = {-1, -1};
    std::thread watcher;

    void Watch();
};

InterruptGuard::InterruptGuard(std::wstring packagePath, std::function<void()> beforeExit)
    : state_(std::make_unique<State>()) {
    State& state = *state_;
    state.packagePath = std::move(packagePath);
    state.beforeExit = std::move(beforeExit);
    if (::pipe2(state.signalPipe, O_CLOEXEC | O_NONBLOCK) != 0 || ::pipe2(state.stopPipe, O_CLOEXEC) != 0) {
        QLOG(L"interrupt guard not set up: %S\r\n", std::strerror(errno));
        return;
    }
    g_signalFd.store(state.signalPipe[1]);
    state.watcher = std::thread([&state] { state.Watch(); });
    struct sigaction action{};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        if (::sigaction(kSignals[i], &action, &g_previous[i]) != 0)
            QLOG(L"sigaction %d: %S\r\n", kSignals[i], std::strerror(errno));
}

InterruptGuard::~InterruptGuard() {
    State& state = *state_;
    if (state.watcher.joinable()) {
        for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
        g_signalFd.store(-1);
        const char stop = 0;
        [[maybe_unused]] ssize_t n = ::write(state.stopPipe[1], &stop, 1);
        // A stop that has begun ends the process from the watcher; this join never returns then.
        state.watcher.join();
    }
    for (int fd : {state.signalPipe[0], state.signalPipe[1], state.stopPipe[0], state.stopPipe[1]})
        if (fd >= 0) ::close(fd);
}

void InterruptGuard::RemoveDownloadLeftovers(const std::wstring& packagePath) {
    if (packagePath.empty()) return;
    const std::string path = Utils::ToUtf8(packagePath);
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string entryName = entry->d_name;
        if (entryName.compare(0, name.size(), name) != 0) continue;
        // unlinkat never follows a link: a planted link goes, its target stays.
        if (::unlinkat(dirFd, entryName.c_str(), 0) != 0 && errno != ENOENT)
            QLOG(L"unlink %S failed: %S\r\n", entryName.c_str(), std::strerror(errno));
    }
    ::closedir(dir);
}

void InterruptGuard::State::Watch() {
    pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        unsigned char sig = 0;
        if (::read(signalPipe[0], &sig, 1) != 1) continue;
        QLOG(L"signal %d: stopping the install\r\n", static_cast<int>(sig));
        if (const pid_t group = static_cast<pid_t>(StatusChildRun::CurrentGroup()); group > 0) {
            ::kill(-group, sig);
            for (int waited = 0; waited < kGroupWaitMs && !GroupGone(group); waited += 50) ::poll(nullptr, 0, 50);
        }
        RemoveDownloadLeftovers(packagePath);
        if (beforeExit) beforeExit();
        std::fprintf(stderr, "quorvex-installer: stopped by signal %d\n", static_cast<int>(sig));
        std::fflush(stderr);
        ::_exit(128 + sig);
    }
}
