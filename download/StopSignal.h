#pragma once
// A stop request that a waiting thread wakes up for at once: the one pause of the downloaders'
// retry loops, so that destroying a downloader never waits out a retry pause.
//
// Threads: any thread may raise it, test it or wait on it.
#include <atomic>
#include <condition_variable>
#include <mutex>

namespace Download {

class StopSignal {
public:
    void Raise();
    bool IsRaised() const { return raised_.load(); }
    // Waits `milliseconds`; true when the time passed without a stop, false once stopped.
    bool WaitFor(int milliseconds);

private:
    std::atomic<bool> raised_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
};

}  // namespace Download
