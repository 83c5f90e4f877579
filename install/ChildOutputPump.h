#pragma once
// Follows a started child's output until the child is done with it, so that no child can
// block on a full pipe while the installer waits for it to end:
//  - standard input is closed at once (a child that reads it gets end-of-file, not a hang);
//  - standard output is read in pieces of at most kReadSize bytes, each cut at its first
//    zero byte and handed to the caller, for as long as the child writes (also after the
//    caller has seen the final status line: the caller then discards what follows);
//  - standard error is read and discarded;
//  - the pump waits on the pipes with a kPollMs time-out, never spinning, and ends when both
//    outputs are closed, or when the child has ended and nothing more is ready (a
//    grandchild that keeps the pipes open cannot hold the installer);
//  - it also ends when the child has been silent (no byte on either pipe) and alive for
//    `idleLimitMs`, or when the caller has seen the final line and the child has not ended
//    within `exitGraceMs` of it.
// The caller then waits for the child with PipedProcess::Wait (or leaves it running).
//
// Used on the runner's worker thread, which owns the process.
#include <functional>
#include <string_view>

namespace Utils {
class PipedProcess;
}

class ChildOutputPump {
public:
    static constexpr size_t kReadSize = 1024;
    static constexpr int kPollMs = 100;
    // After the child has ended, what grandchildren may still be writing is read up to this
    // many bytes before the pump gives up on the pipes.
    static constexpr size_t kDrainAfterExitBytes = 1 << 20;

    using ChunkHandler = std::function<void(std::string_view bytes)>;

    enum class End {
        kOutputDone,   // the child ended, or closed both outputs
        kIdle,         // silent and alive for idleLimitMs
        kGraceOver,    // the final line was seen and the child still runs after exitGraceMs
    };
    struct Limits {
        long idleLimitMs;
        long exitGraceMs;
    };

    // `finalSeen` tells whether the caller has had the final status line.
    static End Run(Utils::PipedProcess& process, const ChunkHandler& onStdOut, const std::function<bool()>& finalSeen,
                   const Limits& limits);
};
