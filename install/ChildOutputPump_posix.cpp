#include "install/ChildOutputPump.h"

#include <cerrno>
#include <cstring>
#include <poll.h>

#include "install/ChildOutputWatch.h"
#include "utils/Log.h"
#include "utils/PipedProcess.h"
#include "utils/Pipe_posix.h"

ChildOutputPump::End ChildOutputPump::Run(Utils::PipedProcess& process, const ChunkHandler& onStdOut,
                                          const std::function<bool()>& finalSeen, const Limits& limits) {
    process.StdIn().CloseWrite();
    Utils::Pipe* pipes[2] = {&process.StdOut(), &process.StdErr()};
    bool open[2] = {true, true};
    ChildOutputWatch watch(process, onStdOut, finalSeen, limits);

    for (;;) {
        // Once the child itself has ended, only what is already in the pipes is read (within
        // a bound): a grandchild holding them open cannot keep the installer waiting.
        if (const auto due = watch.Check()) return *due;
        const bool exited = watch.Exited();
        if (!open[0] && !open[1]) {
            // Both outputs closed but the child lives on: wait for its end within the limits.
            if (exited) return End::kOutputDone;
            ::poll(nullptr, 0, kPollMs);
            continue;
        }
        pollfd fds[2];
        nfds_t count = 0;
        int which[2];
        for (int i = 0; i < 2; ++i) {
            if (!open[i]) continue;
            fds[count] = {pipes[i]->Native().read.Native(), POLLIN, 0};
            which[count++] = i;
        }
        const int ready = ::poll(fds, count, exited ? 0 : kPollMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            QLOG(L"poll failed: %S\r\n", std::strerror(errno));
            return End::kOutputDone;
        }
        if (ready == 0) {
            if (exited) return End::kOutputDone;
            continue;
        }
        for (nfds_t k = 0; k < count; ++k) {
            if (fds[k].revents == 0) continue;
            const int i = which[k];
            // One read from a ready pipe: nothing at the end of the data or on an error (the
            // pipe is then done).
            char buffer[kReadSize];
            const ssize_t n = pipes[i]->Read(buffer, sizeof buffer);
            if (n <= 0) {
                open[i] = false;
                continue;
            }
            if (watch.Take(std::string_view(buffer, static_cast<size_t>(n)), i == 0)) return End::kOutputDone;
        }
    }
}
