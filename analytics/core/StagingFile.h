#pragma once
// The staging file keeps records that were not sent across runs of the program: one serialised
// record per line. Only lines that begin with "{" and end with "}" are records; anything else
// (a torn or foreign line) is skipped when reading.
//
// The path given may name a folder (it ends with "/" or is an existing folder); the file is then
// kStagingFileName inside it, so a caller that hands over its data folder still keeps its records.
// Every write replaces the whole file atomically (temporary file in the same folder, flushed to
// disk, then renamed over the old one), so a crash leaves either the old or the new content.
// The file is private to the user (mode 0600 on Linux; on Windows it takes the access of the
// user's own data folder it lives in).
//
// Not thread-safe: the record store calls it under its records lock.
#include <cstddef>
#include <deque>
#include <string>

namespace collect {

class StagingFile {
public:
    static constexpr char kStagingFileName[] = "EventCollect.staging";

    enum class ReadResult { Read, Missing, Failed };

    explicit StagingFile(std::string path);

    // The file actually used; empty when no path was given (nothing is then read or written).
    std::string FilePath() const;

    // Appends to `out`, in file order, the newest `room` record lines of the file. A missing
    // file reads as empty; a file that exists but cannot be read is reported on standard error.
    ReadResult ReadNewestRecords(std::size_t room, std::deque<std::string>& out) const;

    // Replaces the content with `records`, one per line, oldest first. Creates the folder when
    // it is missing. Reports failures on standard error.
    bool Write(const std::deque<std::string>& records) const;

    // Empties an existing file; a missing file stays missing.
    bool Clear() const;

private:
    std::string path_;
};

}  // namespace collect
