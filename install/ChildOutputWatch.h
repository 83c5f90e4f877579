#pragma once
// The bookkeeping of ChildOutputPump that is the same on every system: whether the child has
// ended, when the final line was seen, when output last came, how much has been read since the
// child ended, and so which of the pump's ends is due. The system's part only waits on the
// pipes and reads them. Internal to the install library; made for one pump run, on the pump's
// thread, it refers to the run's arguments and must not outlive them.
#include <chrono>
#include <functional>
#include <optional>
#include <string_view>

#include "install/ChildOutputPump.h"

class ChildOutputWatch {
public:
    ChildOutputWatch(Utils::PipedProcess& process, const ChildOutputPump::ChunkHandler& onStdOut,
                     const std::function<bool()>& finalSeen, const ChildOutputPump::Limits& limits);

    // At the top of each turn: notes the child's end and the final line, and gives the end that
    // is due while the child lives (kGraceOver, kIdle), or nothing.
    std::optional<ChildOutputPump::End> Check();
    // True once the child itself has ended: from then on only what is already on its way is
    // read, within kDrainAfterExitBytes, and the pump ends when nothing more is ready.
    bool Exited() const { return exited_; }
    // A piece read from standard output (`isStdOut`) or standard error: standard output's bytes
    // up to the first zero byte go to the caller, and any byte counts as output. True when the
    // child has ended and more than kDrainAfterExitBytes have come since: the pump gives up.
    bool Take(std::string_view bytes, bool isStdOut);

private:
    using Clock = std::chrono::steady_clock;
    static long MsSince(Clock::time_point t);

    Utils::PipedProcess& process_;
    const ChildOutputPump::ChunkHandler& onStdOut_;
    const std::function<bool()>& finalSeen_;
    const ChildOutputPump::Limits limits_;
    bool exited_ = false;
    size_t drainedAfterExit_ = 0;
    Clock::time_point lastOutput_ = Clock::now();
    std::optional<Clock::time_point> finalAt_;
};
