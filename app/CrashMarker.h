#pragma once
// The trace a crash leaves for the next start. Reporting from inside a fatal-signal handler is
// not safe (the analytics queue's locks may be held by the thread that crashed, the heap may
// be damaged), so the handler only writes this small file with async-signal-safe calls; the
// next start sends the crash report ("崩溃退出" and the tracker's crash record) in the normal
// way, where a collector that is down leaves the records in the staging file.
//
// Owned by the main thread; Write may run on any thread inside a signal handler.
#include <filesystem>
#include <optional>

class CrashMarker {
public:
    // The marker of this installer: "Quorvex_Installer.crash" in $XDG_STATE_HOME/VarNelSoft.
    static std::filesystem::path DefaultPath();

    explicit CrashMarker(const std::filesystem::path& path);
    CrashMarker(const CrashMarker&) = delete;
    CrashMarker& operator=(const CrashMarker&) = delete;

    // Creates the marker's folder (0700) ahead of any crash. False when it cannot be made;
    // Write then does nothing useful.
    bool Prepare() const;

    // Async-signal-safe: records the signal number ("signal N\n", mode 0600, never through a
    // link). Allocates nothing; errors are ignored.
    void Write(int signalNumber) const noexcept;

    // The signal a previous run crashed with, once: the marker is removed. Nothing when there
    // is no marker; 0 when its content cannot be read.
    std::optional<int> Take() const;

    const char* Path() const { return path_; }

private:
    char path_[4096] = {};  // fixed storage: the handler must not touch the heap
};
