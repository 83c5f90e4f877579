#pragma once
// A file that receives the diagnostic trace: UTF-8, one line per statement ending in "\n" on
// every system, so a log reads the same wherever it was written.
//
// The file is private to the user: it is never opened through a symbolic link (a reparse point
// on Windows) or as another user's file, and a file it creates or takes over is made owner-only
// (0600 on Linux; on Windows the user's local application data folder already is).
//
// The installer's own log (OpenRotated) keeps the last three runs: at each start the older
// files move up one place (".log" -> ".log.1" -> ".log.2", the oldest dropped) and the run
// writes a fresh ".log". A rename that fails never costs a line: the run then appends to the
// current file. Every file is capped (kMaxBytes): past the cap one note is written and later
// lines are dropped, so a runaway loop cannot fill the disk.
//
// Threads: WriteLine may be called from any thread at once, without a lock: each line is one
// append to the end of the file, which the systems keep whole.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "utils/FileHandle.h"

namespace Utils {

class LogFile {
public:
    static constexpr int64_t kMaxBytes = int64_t{4} << 20;
    static constexpr int kKeptRuns = 3;

    // The installer's log: "<state folder>/VarNelSoft/Quorvex_Installer.log" (Linux:
    // $XDG_STATE_HOME, else ~/.local/state; Windows: the local application data folder).
    static std::filesystem::path DefaultPath();

    // Makes the folder (0700 when missing), moves the earlier runs' files up one place and
    // opens a fresh file for this run. Null when no file could be opened; `error` (optional)
    // then says why.
    static std::unique_ptr<LogFile> OpenRotated(const std::filesystem::path& path, FileError* error = nullptr);
    // Appends to `path` as it is (a file the user named): created 0600 when missing, refused
    // when it is a link, not a regular file, or another user's.
    static std::unique_ptr<LogFile> OpenAppending(const std::filesystem::path& path, FileError* error = nullptr);

    const std::filesystem::path& Path() const { return path_; }

    // Appends `line` and a line end. Lines past the cap are dropped; write errors are ignored
    // (the trace has nowhere else to report them).
    void WriteLine(std::wstring_view line);

private:
    LogFile(FileHandle file, std::filesystem::path path, int64_t size);
    static std::unique_ptr<LogFile> Open(const std::filesystem::path& path, FileError* error);
    // Moves ".log.1" to ".log.2" and ".log" to ".log.1"; stops at the first failure, so no
    // file is ever renamed over one that could not move on.
    static void Rotate(const std::filesystem::path& path);
    // Owner-only access for a file that may have been made with more (system file).
    static bool MakePrivate(FileHandle& file);

    FileHandle file_;
    std::filesystem::path path_;
    std::atomic<int64_t> size_;
};

}  // namespace Utils
