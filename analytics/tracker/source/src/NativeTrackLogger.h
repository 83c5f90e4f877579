#pragma once
// The file implementation of TrackLogger: one open file owned from open to close (or
// destruction), opened for reading and appending. Owned by UsageTrackerImpl; open and close run
// on the set-up and release thread, write may come from any thread (each call appends its whole
// text under the lock, so appends do not interleave).
#include <memory>
#include <mutex>
#include <string>

#include "analytics/tracker/source/src/TrackLogger.h"

namespace varnel::tracking {

class NativeTrackLogger final : public TrackLogger {
public:
    NativeTrackLogger();
    ~NativeTrackLogger() override;
    NativeTrackLogger(const NativeTrackLogger&) = delete;
    NativeTrackLogger& operator=(const NativeTrackLogger&) = delete;

    bool open(const std::string& path) override;
    void close() override;
    bool isOpen() const override;
    std::string path() const override;
    bool write(std::string_view text) override;

private:
    struct File;  // the system's open file, in the platform's source file

    mutable std::mutex lock_;
    std::unique_ptr<File> file_;  // guarded by lock_; null while closed
    std::string path_;            // guarded by lock_
};

}  // namespace varnel::tracking
