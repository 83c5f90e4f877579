#pragma once
// Whether a program of a given executable file name runs on this machine.
#include <string>

namespace ProcessSnapshot {

// Names and paths are UTF-8 and compared as the file system compares them: exactly on Linux,
// without case on Windows.
//
// True when a process's executable has this file name (Linux: the target of /proc/<pid>/exe,
// else the first word of its command line; Windows: the system's process list). Processes that
// cannot be inspected are skipped.
bool IsRunning(const std::string& exeFileName);
// True when a process runs the program at this path (on Linux also after the file was removed
// or replaced: the kernel then shows the path with " (deleted)").
bool IsRunningFrom(const std::string& exePath);

}  // namespace ProcessSnapshot
