#include "install/InterruptGuard.h"

#include <cstdio>
#include <mutex>

#include "install/StatusChildRun.h"
#include "utils/Log.h"
#include "install/WinSupport_win32.h"

namespace {

// What the guard in force does on a stop.
struct Guarded {
    std::wstring packagePath;
    std::function<void()> beforeExit;
};

// The lock a stop holds from its start to the process's end: a destructor that takes it waits
// for a stop that has begun (and never gets it back).
std::mutex g_lock;
Guarded* g_guarded = nullptr;  // guarded by g_lock

struct Stop {
    int exitCode;
    const char* what;
};

// The exit code of a console event, after the signal that plays its role on Linux.
bool StopFor(DWORD event, Stop& stop) {
    switch (event) {
        case CTRL_C_EVENT:
            stop = {128 + 2, "Ctrl+C"};
            return true;
        case CTRL_CLOSE_EVENT:
            stop = {128 + 1, "the console closing"};
            return true;
        case CTRL_BREAK_EVENT:
            stop = {128 + 15, "Ctrl+Break"};
            return true;
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            stop = {128 + 15, "the session ending"};
            return true;
        default:
            return false;
    }
}

// Output waits for whoever reads it: a reader that stopped reading (a full pipe) blocks a
// write, and with it every later use of that stream, the one here included. Each piece of
// output is written on a thread of its own and waited for at most this long.
constexpr DWORD kOutputWaitMs = 1000;

// One piece of output, written on a thread of its own. Lives to the end of the process: a
// thread still blocked keeps using it.
struct OutputTask {
    void (*work)(const char*);
    const char* what;
};

// Runs the task; true when it finished within kOutputWaitMs.
bool FinishesInTime(const OutputTask& task) {
    const HANDLE thread = ::CreateThread(
        nullptr, 0,
        [](LPVOID parameter) WINAPI -> DWORD {
            const auto* t = static_cast<const OutputTask*>(parameter);
            t->work(t->what);
            return 0;
        },
        const_cast<OutputTask*>(&task), 0, nullptr);
    if (!thread) return false;
    const bool done = ::WaitForSingleObject(thread, kOutputWaitMs) == WAIT_OBJECT_0;
    ::CloseHandle(thread);
    return done;
}

[[noreturn]] void StopInstall(const Guarded& guarded, const Stop& stop) {
    QLOG(L"%S: stopping the install\r\n", stop.what);
    // The package's job ends at once; its runner then sees it end and may report that, which
    // no longer matters: the process ends here.
    if (StatusChildRun::StopCurrent()) {
        for (int waited = 0; waited < InterruptGuard::kGroupWaitMs && StatusChildRun::CurrentGroup() != 0; waited += 50)
            ::Sleep(50);
    }
    InterruptGuard::RemoveDownloadLeftovers(guarded.packagePath);
    if (guarded.beforeExit) guarded.beforeExit();
    // The stop line comes after what the install had written. A stream still blocked holds the
    // C runtime's lock, which its exit would wait for: the process is then ended without it.
    static const OutputTask flushOutput{[](const char*) { std::fflush(stdout); }, nullptr};
    static const OutputTask stopLine{[](const char* what) {
                                         std::fprintf(stderr, "quorvex-installer: stopped by %s\n", what);
                                         std::fflush(stderr);
                                     },
                                     stop.what};
    const bool outputFlushed = FinishesInTime(flushOutput);
    const bool flushed = FinishesInTime(stopLine) && outputFlushed;
    if (!flushed) ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(stop.exitCode));
    ::ExitProcess(static_cast<UINT>(stop.exitCode));
}

// Stops the install unless the guard went away just now (then false: the request takes its
// default course). The lock is held until the process ends: a second request waits here, and
// so does the destructor.
bool StopIfGuarded(const Stop& stop) {
    g_lock.lock();
    if (!g_guarded) {
        g_lock.unlock();
        return false;
    }
    StopInstall(*g_guarded, stop);
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    Stop stop{};
    return StopFor(event, stop) && StopIfGuarded(stop) ? TRUE : FALSE;
}

}  // namespace

struct InterruptGuard::State {
    Guarded guarded;
    bool installed = false;
};

InterruptGuard::InterruptGuard(std::wstring packagePath, std::function<void()> beforeExit)
    : state_(std::make_unique<State>()) {
    state_->guarded = {std::move(packagePath), std::move(beforeExit)};
    const std::lock_guard<std::mutex> lock(g_lock);
    if (!::SetConsoleCtrlHandler(&OnConsoleEvent, TRUE)) {
        QLOG(L"interrupt guard not set up: %s\r\n", InstallWin::ErrorText(::GetLastError()).c_str());
        return;
    }
    state_->installed = true;
    g_guarded = &state_->guarded;
}

InterruptGuard::~InterruptGuard() {
    if (!state_->installed) return;
    // Blocks for good when a stop has begun: the stop ends the process with its own code.
    const std::lock_guard<std::mutex> lock(g_lock);
    ::SetConsoleCtrlHandler(&OnConsoleEvent, FALSE);
    g_guarded = nullptr;
}

void InterruptGuard::RemoveDownloadLeftovers(const std::wstring& packagePath) {
    if (packagePath.empty()) return;
    const size_t slash = packagePath.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : packagePath.substr(0, slash);
    const std::wstring name = slash == std::wstring::npos ? packagePath : packagePath.substr(slash + 1);
    // Every entry is listed and compared here: a pattern would also match the short (8.3) names.
    WIN32_FIND_DATAW entry{};
    const HANDLE raw = ::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                          nullptr, 0);
    if (raw == INVALID_HANDLE_VALUE) return;
    const std::unique_ptr<void, decltype(&::FindClose)> search(raw, &::FindClose);
    do {
        const std::wstring entryName = entry.cFileName;
        if (entryName.size() < name.size() ||
            ::CompareStringOrdinal(entryName.c_str(), static_cast<int>(name.size()), name.c_str(),
                                   static_cast<int>(name.size()), TRUE) != CSTR_EQUAL)
            continue;
        const std::wstring path = folder + L"\\" + entryName;
        const DWORD attributes = entry.dwFileAttributes;
        // A link is removed itself, never what it leads to; a real folder is no download's.
        BOOL removed = TRUE;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) removed = ::DeleteFileW(path.c_str());
        else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) removed = ::RemoveDirectoryW(path.c_str());
        if (!removed && ::GetLastError() != ERROR_FILE_NOT_FOUND)
            QLOG(L"DeleteFileW %s failed: %s\r\n", path.c_str(), InstallWin::ErrorText(::GetLastError()).c_str());
    } while (::FindNextFileW(raw, &entry));
}
