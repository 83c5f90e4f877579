#pragma once
// What the Windows benchmarks read about their own process: the time since the system made it,
// its memory and its CPU time. Each call reports a failing system call on standard error and
// returns -1 for the figure it could not read, so a broken reading never passes for a fast one.
#include <cstdint>
#include <string>

namespace BenchWin32 {

// Milliseconds since the process was created (its creation time from GetProcessTimes against
// the precise system clock). Under wine the creation is when the process joined the wine
// server, after wine's own loader has started.
double MsSinceProcessStart();

struct Memory {
    std::int64_t workingSetKib = -1;  // pages in memory now (the counterpart of Linux's RSS)
    std::int64_t privateKib = -1;     // private bytes as the system counts them (wine: always 0)
    // Private bytes counted here: committed private regions of the address space, from a walk
    // with VirtualQuery. Close to privateKib on Windows; the figure to compare under wine.
    std::int64_t committedPrivateKib = -1;
};
Memory ReadMemory();
// The working set alone: cheap enough to read between the steps of a timed start.
std::int64_t ReadWorkingSetKib();

// Under wine: copies the hosting Linux process's memory map with its per-mapping resident sizes
// (/proc/PID/smaps, reached through wine's drive for the Linux root) to `file`, so that the
// working set can be split by what is mapped: PE modules, the Linux libraries wine loads behind
// them, heaps and stacks. The process is the one whose environment holds `marker` (a
// "NAME=value" line unique to this run): "/proc/self" would name the wine server, which opens
// files for its clients. False, with a message, where there is no such map (real Windows).
bool CopyLinuxMemoryMap(const char* file, const std::string& marker);

// The bytes in use in each heap of the process, as "base:KiB" separated by blanks, the
// process's default heap first and marked "process:": under wine the system's own libraries
// allocate there, while the C runtime (our new and malloc) keeps a heap of its own. Empty, with
// a message, when the heaps cannot be listed.
std::string HeapsInUse();

// User plus kernel time of the whole process, in seconds.
double CpuSeconds();

}  // namespace BenchWin32
