#include "install/ChildOutputWatch.h"

#include "utils/PipedProcess.h"

ChildOutputWatch::ChildOutputWatch(Utils::PipedProcess& process, const ChildOutputPump::ChunkHandler& onStdOut,
                                   const std::function<bool()>& finalSeen, const ChildOutputPump::Limits& limits)
    : process_(process), onStdOut_(onStdOut), finalSeen_(finalSeen), limits_(limits) {}

long ChildOutputWatch::MsSince(Clock::time_point t) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

std::optional<ChildOutputPump::End> ChildOutputWatch::Check() {
    if (!exited_) exited_ = process_.TryExitCode().has_value();
    if (!finalAt_ && finalSeen_()) finalAt_ = Clock::now();
    if (!exited_ && finalAt_ && MsSince(*finalAt_) >= limits_.exitGraceMs) return ChildOutputPump::End::kGraceOver;
    if (!exited_ && !finalAt_ && MsSince(lastOutput_) >= limits_.idleLimitMs) return ChildOutputPump::End::kIdle;
    return std::nullopt;
}

bool ChildOutputWatch::Take(std::string_view bytes, bool isStdOut) {
    if (bytes.empty()) return false;
    lastOutput_ = Clock::now();
    if (isStdOut) onStdOut_(bytes.substr(0, bytes.find('\0')));
    if (!exited_) return false;
    drainedAfterExit_ += bytes.size();
    return drainedAfterExit_ > ChildOutputPump::kDrainAfterExitBytes;
}
