#pragma once
// Whether a program of a given executable file name runs on this machine.
#include <string>

namespace ProcessSnapshot {

// True when a process's executable (the target of /proc/<pid>/exe, else the first word of its
// command line) has exactly this file name. Processes that cannot be inspected are skipped.
bool IsRunning(const std::string& exeFileName);
// True when a process runs the program at exactly this path (also after the file was
// removed or replaced: the kernel then shows the path with " (deleted)").
bool IsRunningFrom(const std::string& exePath);

}  // namespace ProcessSnapshot
