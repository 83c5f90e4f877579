#pragma once
// The tracker's log file. The tracker opens it at set-up and keeps it until release; its
// existence also tells the tracker's wrapper that failures may be reported ("Failed to ...").
#include <string>
#include <string_view>

namespace varnel::tracking {

class TrackLogger {
public:
    virtual ~TrackLogger();

    // Opens (creating when missing) the file for reading and appending. Opening the path that
    // is already open does nothing; another path replaces the open file. False on failure.
    virtual bool open(const std::string& path) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual std::string path() const = 0;
    // Appends `text` as is; false when the file is not open or the write fails.
    virtual bool write(std::string_view text) = 0;
};

}  // namespace varnel::tracking
