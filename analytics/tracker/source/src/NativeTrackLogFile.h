#pragma once
// The system's half of NativeTrackLogger (NativeTrackLogger_posix.cpp / _win32.cpp): opening the
// log file and wording a failure. What the logger does with the file (append, close, the
// bookkeeping of which file is open) is the same everywhere, in NativeTrackLogger.cpp.
#include <string>

#include "utils/FileHandle.h"

namespace varnel::tracking::tracklog {

// Opens `path` for reading and appending, creating it when missing: every write lands at the
// end of the file. A new file is readable by the user only where files carry a mode; others may
// read the log while it is open. Empty, with `error` set, on failure.
Utils::FileHandle OpenLogFile(const std::string& path, Utils::FileError& error);

// A failed call's error as the trace shows it: the system's message on POSIX, "system error N"
// on Windows.
std::string ErrorText(const Utils::FileError& error);

}  // namespace varnel::tracking::tracklog
