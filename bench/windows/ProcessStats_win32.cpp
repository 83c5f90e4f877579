#include "bench/windows/ProcessStats_win32.h"

#include <cstdio>

#include "utils/WindowsApi_win32.h"

#include <psapi.h>

namespace BenchWin32 {
namespace {

// FILETIME counts 100 ns steps.
double Ticks(const FILETIME& t) {
    return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

bool Times(FILETIME& created, FILETIME& kernel, FILETIME& user) {
    FILETIME exited;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return true;
    std::fprintf(stderr, "GetProcessTimes failed (%lu)\n", GetLastError());
    return false;
}

std::int64_t CommittedPrivateKib() {
    std::uint64_t bytes = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* at = nullptr; VirtualQuery(at, &info, sizeof info) == sizeof info;) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) bytes += info.RegionSize;
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= at) break;  // the top of the address space wrapped round
        at = next;
    }
    return static_cast<std::int64_t>(bytes / 1024);
}

}  // namespace

double MsSinceProcessStart() {
    FILETIME created, kernel, user, now;
    if (!Times(created, kernel, user)) return -1;
    GetSystemTimePreciseAsFileTime(&now);
    return (Ticks(now) - Ticks(created)) / 1e4;
}

Memory ReadMemory() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    Memory m;
    m.committedPrivateKib = CommittedPrivateKib();
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters)) {
        std::fprintf(stderr, "GetProcessMemoryInfo failed (%lu)\n", GetLastError());
        return m;
    }
    m.workingSetKib = static_cast<std::int64_t>(counters.WorkingSetSize / 1024);
    m.privateKib = static_cast<std::int64_t>(counters.PrivateUsage / 1024);
    return m;
}

std::int64_t ReadWorkingSetKib() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return static_cast<std::int64_t>(counters.WorkingSetSize / 1024);
    std::fprintf(stderr, "GetProcessMemoryInfo failed (%lu)\n", GetLastError());
    return -1;
}

double CpuSeconds() {
    FILETIME created, kernel, user;
    if (!Times(created, kernel, user)) return -1;
    return (Ticks(kernel) + Ticks(user)) / 1e7;
}

}  // namespace BenchWin32
