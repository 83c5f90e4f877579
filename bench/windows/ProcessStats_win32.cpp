#include "bench/windows/ProcessStats_win32.h"

#include <cstdio>
#include <memory>

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

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Whether /proc/PID/environ holds `marker` as one whole entry.
bool HasEnvironmentEntry(const std::wstring& pid, const std::string& marker) {
    const std::wstring path = L"Z:\\proc\\" + pid + L"\\environ";
    const FilePtr in(_wfopen(path.c_str(), L"rb"));
    if (!in) return false;
    std::string entry;
    for (int c; (c = std::fgetc(in.get())) != EOF;) {
        if (c != '\0') {
            entry.push_back(static_cast<char>(c));
            continue;
        }
        if (entry == marker) return true;
        entry.clear();
    }
    return false;
}

// The Linux process id of this program, found once; empty when there is none.
const std::wstring& LinuxPid(const std::string& marker) {
    static const std::wstring pid = [&] {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &found);
        if (find == INVALID_HANDLE_VALUE) return std::wstring();
        std::wstring result;
        do {
            const std::wstring name = found.cFileName;
            if (name.find_first_not_of(L"0123456789") == std::wstring::npos && HasEnvironmentEntry(name, marker)) {
                result = name;
                break;
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
        return result;
    }();
    return pid;
}

}  // namespace

bool CopyLinuxMemoryMap(const char* file, const std::string& marker) {
    const std::wstring& pid = LinuxPid(marker);
    if (pid.empty()) {
        std::fprintf(stderr, "no Linux process to read the memory map of (not under wine?)\n");
        return false;
    }
    const std::wstring path = L"Z:\\proc\\" + pid + L"\\smaps";
    const FilePtr in(_wfopen(path.c_str(), L"rb"));
    if (!in) {
        std::fprintf(stderr, "cannot read the Linux memory map\n");
        return false;
    }
    FilePtr out(std::fopen(file, "wb"));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", file);
        return false;
    }
    // A fixed buffer: copying must not grow the heap it is measuring.
    static char buffer[1 << 16];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) {
        if (std::fwrite(buffer, 1, n, out.get()) != n) {
            std::fprintf(stderr, "cannot write %s\n", file);
            return false;
        }
    }
    if (std::ferror(in.get()) || std::fclose(out.release()) != 0) {
        std::fprintf(stderr, "cannot copy the memory map to %s\n", file);
        return false;
    }
    return true;
}

namespace {

// Bytes in busy blocks of one heap (large blocks count whole); -1 when it cannot be walked.
std::int64_t BusyBytes(HANDLE heap) {
    if (!HeapLock(heap)) return -1;
    std::int64_t bytes = 0;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry)) {
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += static_cast<std::int64_t>(entry.cbData);
    }
    const bool complete = GetLastError() == ERROR_NO_MORE_ITEMS;
    HeapUnlock(heap);
    return complete ? bytes : -1;
}

}  // namespace

std::string HeapsInUse() {
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    if (count == 0 || count > 64) {
        std::fprintf(stderr, "GetProcessHeaps failed (%lu)\n", GetLastError());
        return {};
    }
    const HANDLE process = GetProcessHeap();
    std::string out;
    char buf[64];
    for (DWORD i = 0; i < count; ++i) {
        const std::int64_t bytes = BusyBytes(heaps[i]);
        std::snprintf(buf, sizeof buf, "%s%s%p:%lld", out.empty() ? "" : " ", heaps[i] == process ? "process:" : "",
                      static_cast<void*>(heaps[i]), static_cast<long long>(bytes < 0 ? -1 : bytes / 1024));
        out += buf;
    }
    return out;
}

double CpuSeconds() {
    FILETIME created, kernel, user;
    if (!Times(created, kernel, user)) return -1;
    return (Ticks(kernel) + Ticks(user)) / 1e7;
}

}  // namespace BenchWin32
