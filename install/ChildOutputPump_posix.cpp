#include "install/ChildOutputPump.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>

#include "utils/Log.h"
#include "utils/PipedProcess.h"
#include "utils/Pipe_posix.h"

namespace {

using Clock = std::chrono::steady_clock;

// One read from a ready pipe: false at end of data or on an error (the pipe is done).
bool ReadPiece(Utils::Pipe& pipe, bool isStdOut, const ChildOutputPump::ChunkHandler& onStdOut, size_t& total) {
    char buffer[ChildOutputPump::kReadSize];
    const ssize_t n = pipe.Read(buffer, sizeof buffer);
    if (n <= 0) return false;
    total += static_cast<size_t>(n);
    if (isStdOut) {
        const std::string_view bytes(buffer, static_cast<size_t>(n));
        onStdOut(bytes.substr(0, bytes.find('\0')));
    }
    return true;
}

long MsSince(Clock::time_point t) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

}  // namespace

ChildOutputPump::End ChildOutputPump::Run(Utils::PipedProcess& process, const ChunkHandler& onStdOut,
                                          const std::function<bool()>& finalSeen, const Limits& limits) {
    process.StdIn().CloseWrite();
    Utils::Pipe* pipes[2] = {&process.StdOut(), &process.StdErr()};
    bool open[2] = {true, true};
    bool exited = false;
    size_t drainedAfterExit = 0;
    Clock::time_point lastOutput = Clock::now();
    std::optional<Clock::time_point> finalAt;

    for (;;) {
        // Once the child itself has ended, only what is already in the pipes is read (within
        // a bound): a grandchild holding them open cannot keep the installer waiting.
        if (!exited) exited = process.TryExitCode().has_value();
        if (!finalAt && finalSeen()) finalAt = Clock::now();
        if (!exited && finalAt && MsSince(*finalAt) >= limits.exitGraceMs) return End::kGraceOver;
        if (!exited && !finalAt && MsSince(lastOutput) >= limits.idleLimitMs) return End::kIdle;
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
            size_t n = 0;
            if (!ReadPiece(*pipes[i], i == 0, onStdOut, n)) open[i] = false;
            if (n > 0) lastOutput = Clock::now();
            if (exited) {
                drainedAfterExit += n;
                if (drainedAfterExit > kDrainAfterExitBytes) return End::kOutputDone;
            }
        }
    }
}
