#pragma once
// The process that sends a crash report at the moment of the crash. The crash handler runs in a
// damaged process and may not report itself (see CrashMarker), so after writing the marker it
// starts a fresh copy of the installer with the private option kOption; that copy takes the
// marker and sends the two crash records through the normal analytics path. Records it cannot
// deliver wait in the analytics staging file, which the next start sends; the marker comes back
// only when the reporter itself dies before the records are safe.
//
// Prepare runs on the main thread before the handler is armed and does all the work that needs
// the heap or the file system; Launch is then safe inside the crash handler on any thread.
#include <filesystem>
#include <string>
#include <vector>

class CrashReporter {
public:
    // The private option of a reporter run. It names no file: a reporter only ever reads and
    // removes the marker of its own user (CrashMarker::DefaultPath), so the option cannot be
    // turned against some other file. Not part of the user's options.
    static constexpr wchar_t kOption[] = L"-report-crash";

    // Remembers how to start the reporter: `program` (empty: this executable) with kOption
    // followed by this process's own arguments, so the reporter reads the same settings, and
    // this process's environment as it is now. False when that cannot be prepared; Launch then
    // starts nothing.
    static bool Prepare(const std::filesystem::path& program = {});

    // Starts the prepared reporter without waiting for it. Async-signal-safe (Linux) and free
    // of heap use and locks; the reporter gets no descriptor or handle of this process beyond
    // its standard error (Linux; its input and output are the null device; Windows: none).
    // False when nothing was prepared or the start failed.
    static bool Launch() noexcept;

    // True when `arguments` (the program first) ask for a reporter run.
    static bool Requested(const std::vector<std::wstring>& arguments);
};
