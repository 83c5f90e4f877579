#include "DbusSession.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace DbusSession {
namespace {
pid_t g_pid = -1;
}

bool Start(std::string* error) {
    int fds[2];
    if (pipe(fds) != 0) {
        *error = "pipe failed";
        return false;
    }
    g_pid = fork();
    if (g_pid < 0) {
        *error = "fork failed";
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (g_pid == 0) {
        close(fds[0]);
        if (fds[1] != 3) {
            dup2(fds[1], 3);
            close(fds[1]);
        }
        // Its own process group, so Stop() also ends the services it started.
        setpgid(0, 0);
        execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--print-address=3", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string address;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 15000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n') break;
        address += c;
    }
    close(fds[0]);
    if (address.empty()) {
        *error = "dbus-daemon did not report an address";
        Stop();
        return false;
    }
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    return true;
}

void Stop() {
    if (g_pid > 0) {
        kill(-g_pid, SIGTERM);
        waitpid(g_pid, nullptr, 0);
        g_pid = -1;
    }
}

}  // namespace DbusSession
