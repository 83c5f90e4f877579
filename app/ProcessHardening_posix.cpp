#include "app/ProcessHardening.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

// Fills the lowest closed descriptor, which is `fd` when every lower one is open.
bool Fill(int fd) {
    int got = ::open("/dev/null", O_RDWR | O_NOCTTY);
    if (got < 0) {
        // No /dev/null (a bare chroot): a pipe whose other end is closed reads as end of data
        // and fails writes, which is all a standard descriptor of ours needs to do.
        int ends[2];
        if (::pipe(ends) != 0) return false;
        got = ends[0] == fd ? ends[0] : ends[1];
        ::close(got == ends[0] ? ends[1] : ends[0]);
    }
    if (got == fd) return true;
    const bool ok = ::dup2(got, fd) == fd;
    ::close(got);
    return ok;
}

}  // namespace

bool OpenClosedStandardDescriptors() {
    bool ok = true;
    for (int fd = 0; fd <= 2; ++fd)
        if (!IsOpen(fd)) ok = Fill(fd) && ok;
    return ok;
}

void HardenProcess() {
    static const char* const kVariables[] = {
        "LD_PRELOAD",       "LD_LIBRARY_PATH",        "LD_AUDIT",
        "GTK_PATH",         "GTK_MODULES",            "GTK3_MODULES",
        "GTK_EXE_PREFIX",   "GTK_IM_MODULE_FILE",     "GIO_MODULE_DIR",
        "GIO_EXTRA_MODULES", "GDK_PIXBUF_MODULE_FILE", "GDK_PIXBUF_MODULEDIR",
    };
    for (const char* name : kVariables) unsetenv(name);
    std::signal(SIGPIPE, SIG_IGN);
}
