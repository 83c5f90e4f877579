#include "download/StopSignal.h"

#include <chrono>

namespace Download {

void StopSignal::Raise() {
    {
        // Taken so that a waiter between its test and its wait cannot miss the notification.
        std::lock_guard lock(mutex_);
        raised_.store(true);
    }
    changed_.notify_all();
}

bool StopSignal::WaitFor(int milliseconds) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return raised_.load(); });
}

}  // namespace Download
