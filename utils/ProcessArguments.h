#pragma once
// The process's own arguments as the system holds them, the program path first.
#include <string>
#include <vector>

namespace Utils {

// Read back from the system (on Linux /proc/self/cmdline, decoded as UTF-8; on Windows the
// command line split by the system's rules), so the entry point
// needs no argc/argv of its own; empty when they cannot be read.
std::vector<std::wstring> ProcessArguments();

}  // namespace Utils
