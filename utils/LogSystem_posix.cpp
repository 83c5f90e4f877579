// The Linux channel of the diagnostic trace: standard error, one write per line.
#include "utils/Log.h"

#include <cerrno>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

#include "utils/StringUtils.h"

namespace Utils::detail {

LogClock LocalNow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
            local.tm_min,         local.tm_sec,     static_cast<int>(ts.tv_nsec / 1000000)};
}

int CurrentProcessId() { return static_cast<int>(getpid()); }
int CurrentThreadId() { return static_cast<int>(syscall(SYS_gettid)); }

bool SystemChannelIsStandardError() { return true; }

void EmitStandardErrorLine(std::wstring_view text) { EmitSystemLine(text); }

void EmitSystemLine(std::wstring_view text) {
    std::string line = ToUtf8(text);
    line += '\n';
    // One write per line keeps lines from different threads whole.
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace Utils::detail
