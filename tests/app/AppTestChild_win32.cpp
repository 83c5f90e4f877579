// A helper process for the app tests on Windows, where a test cannot fork: it holds the
// instance lock or crashes on demand with the installer's crash handler armed.
//
//   qv_app_test_child hold-lock [EVENT]          takes the lock, prints "held" and sets the named
//                                                event EVENT, then waits for ever (its starter
//                                                ends it); exit 2 when another holds the lock
//   qv_app_test_child crash KIND MARKER          arms the handler (writing MARKER), then KIND:
//       main-av          access violation on the main thread
//       worker-av        access violation on a worker thread that holds a lock
//       worker-overflow  stack overflow on a worker thread
//       abort            abort()
//       reporter-crash   the reporter itself faults while reporting an access violation
//   qv_app_test_child crash-report KIND MARKER   as "crash", and the handler starts this program
//                                                as the crash reporter: that run copies the
//                                                marker it finds to MARKER.reported, followed by
//                                                its own arguments, one a line
//   qv_app_test_child harden-probe NAME.dll      hardens, then loads NAME.dll by name; prints
//                                                "loaded" or "error N"
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "app/CrashHandler.h"
#include "app/CrashMarker.h"
#include "app/CrashReporter.h"
#include "app/InstanceLock.h"
#include "app/ProcessHardening.h"
#include "utils/WindowsApi_win32.h"

namespace {

// A fault the optimiser cannot remove or predict.
void AccessViolation() {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

__attribute__((noinline)) unsigned Recurse(unsigned depth) {
    if (depth == 0xFFFFFFFFu) return 0;
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + frame[0];
}

// The event lets a starter that gave this process no output pipe (and so nothing a stray
// process could keep open) learn that the lock is held.
int HoldLock(const wchar_t* eventName) {
    InstanceLock lock;
    if (!lock.Acquire()) {
        std::puts("busy");
        return 2;
    }
    std::puts("held");
    std::fflush(stdout);
    if (eventName) {
        const HANDLE event = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName);
        if (!event) return 3;
        const BOOL set = ::SetEvent(event);
        ::CloseHandle(event);
        if (!set) return 3;
    }
    ::Sleep(INFINITE);
    return 0;
}

int Crash(const std::wstring& kind, const std::wstring& markerPath, bool startReporter = false) {
    // The test wants the process to end with its exception code, not to wait for a debugger
    // (wine starts one for an unhandled exception unless told not to).
    ::SetErrorMode(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS);
    static CrashMarker* marker = new CrashMarker(markerPath);
    if (!marker->Prepare()) return 4;
    if (kind == L"reporter-crash") {
        CrashHandler::Install([](int) { AccessViolation(); });
        AccessViolation();
    }
    if (startReporter) {
        if (!CrashReporter::Prepare()) return 6;
        CrashHandler::Install([](int code) {
            marker->Write(code);
            CrashReporter::Launch();
        });
    } else {
        CrashHandler::Install([](int code) { marker->Write(code); });
    }
    if (kind == L"main-av") AccessViolation();
    if (kind == L"abort") std::abort();
    if (kind == L"worker-av" || kind == L"worker-overflow") {
        static std::mutex storeLock;  // as the analytics queue's lock would be: held while crashing
        std::thread worker([overflow = kind == L"worker-overflow"] {
            CrashHandler::PrepareThread();
            std::lock_guard hold(storeLock);
            if (overflow) std::printf("%u\n", Recurse(0));
            AccessViolation();
        });
        worker.join();
    }
    return 5;  // not crashed: the test fails on this code
}

// The reporter run of "crash-report": what it was started with, for the test to read.
int RecordReport(int argc, wchar_t** argv) {
    const std::wstring marker = argc > 4 ? argv[4] : L"";
    std::string text;
    if (FILE* in = _wfopen(marker.c_str(), L"rb")) {
        char buffer[64];
        const size_t n = std::fread(buffer, 1, sizeof buffer, in);
        text.assign(buffer, n);
        std::fclose(in);
    }
    for (int i = 1; i < argc; ++i) {
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 0 ? size - 1 : 0, '\0');
        if (size > 1) ::WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), size, nullptr, nullptr);
        text += arg + "\n";
    }
    // Written aside and renamed: the test never reads half a file.
    const std::wstring target = marker + L".reported";
    FILE* out = _wfopen((target + L".tmp").c_str(), L"wb");
    if (!out) return 3;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written) return 3;
    return ::MoveFileExW((target + L".tmp").c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 3;
}

int HardenProbe(const std::wstring& dll) {
    HardenProcess();
    if (HMODULE module = ::LoadLibraryW(dll.c_str())) {
        ::FreeLibrary(module);
        std::puts("loaded");
    } else {
        std::printf("error %lu\n", static_cast<unsigned long>(::GetLastError()));
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"hold-lock" && argc <= 3) return HoldLock(argc == 3 ? argv[2] : nullptr);
    if (mode == L"crash" && argc == 4) return Crash(argv[2], argv[3]);
    if (mode == L"crash-report" && argc == 4) return Crash(argv[2], argv[3], true);
    if (mode == CrashReporter::kOption) return RecordReport(argc, argv);
    if (mode == L"harden-probe" && argc == 3) return HardenProbe(argv[2]);
    std::fputs("usage: qv_app_test_child hold-lock [EVENT] | crash KIND MARKER | harden-probe NAME.dll\n", stderr);
    return 64;
}
