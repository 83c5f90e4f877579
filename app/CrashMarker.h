#pragma once
// The trace a crash leaves for the next start. Reporting from inside the crash handler is not
// safe (the analytics queue's locks may be held by the thread that crashed, the heap may be
// damaged), so the handler only writes this small file with plain system calls and starts a
// reporter process (CrashReporter), which takes the marker and sends the crash report ("崩溃退出"
// and the tracker's crash record) in the normal way; a collector that is down leaves the records
// in the staging file. A marker that no reporter took is reported by the next start.
//
// Owned by the main thread; Write may run on any thread inside the crash handler.
#include <filesystem>
#include <optional>

class CrashMarker {
public:
    // The marker of this installer: "Quorvex_Installer.crash" in the user's state folder
    // (Utils::StateHome) under "VarNelSoft".
    static std::filesystem::path DefaultPath();

    explicit CrashMarker(const std::filesystem::path& path);
    CrashMarker(const CrashMarker&) = delete;
    CrashMarker& operator=(const CrashMarker&) = delete;

    // Creates the marker's folder (0700) ahead of any crash. False when it cannot be made;
    // Write then does nothing useful.
    bool Prepare() const;

    // Safe inside the crash handler: records the crash code of CrashHandler ("signal N\n" on
    // Linux, "exception 0xXXXXXXXX\n" on Windows; private to the user, never through a link).
    // Allocates nothing; errors are ignored.
    void Write(int crashCode) const noexcept;

    // The crash code a previous run left, once: the marker is removed. Nothing when there is
    // no marker; 0 when its content cannot be read.
    std::optional<int> Take() const;

    std::filesystem::path Path() const { return path_; }

private:
    // Fixed storage in the system's own path characters: the handler must not touch the heap.
    std::filesystem::path::value_type path_[4096] = {};
};
