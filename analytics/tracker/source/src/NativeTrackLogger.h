#pragma once
// The file implementation of TrackLogger: one descriptor owned from open to close (or
// destruction). Owned by UsageTrackerImpl; open and close run on the set-up and release thread,
// write may come from any thread (one write(2) per call, so appends do not interleave).
#include <mutex>
#include <string>

#include "analytics/tracker/source/src/TrackLogger.h"

namespace varnel::tracking {

class NativeTrackLogger final : public TrackLogger {
public:
    NativeTrackLogger() = default;
    ~NativeTrackLogger() override;
    NativeTrackLogger(const NativeTrackLogger&) = delete;
    NativeTrackLogger& operator=(const NativeTrackLogger&) = delete;

    bool open(const std::string& path) override;
    void close() override;
    bool isOpen() const override;
    std::string path() const override;
    bool write(std::string_view text) override;

private:
    mutable std::mutex lock_;
    int fd_ = -1;        // guarded by lock_
    std::string path_;   // guarded by lock_
};

}  // namespace varnel::tracking
