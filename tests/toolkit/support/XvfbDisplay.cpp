#include "XvfbDisplay.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace XvfbDisplay {
namespace {
pid_t g_pid = -1;
}

bool Start(std::string* error, const char* screen) {
    int fds[2];
    if (pipe(fds) != 0) {
        *error = "pipe failed";
        return false;
    }
    g_pid = fork();
    if (g_pid < 0) {
        *error = "fork failed";
        return false;
    }
    if (g_pid == 0) {
        close(fds[0]);
        if (fds[1] != 3) {
            dup2(fds[1], 3);
            close(fds[1]);
        }
        // No GLX: the toolkit draws with cairo alone, and GDK would otherwise load the GL
        // driver at display start-up, whose one-time allocation the leak checker reports.
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp", "-noreset",
               "-extension", "GLX", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 15000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        *error = "Xvfb did not report a display";
        Stop();
        return false;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    return true;
}

void Stop() {
    if (g_pid > 0) {
        kill(g_pid, SIGTERM);
        waitpid(g_pid, nullptr, 0);
        g_pid = -1;
    }
}

}  // namespace XvfbDisplay
