// Stands in for an unattended install that a console stop request reaches, and sends those
// requests, for the interrupt guard's tests:
//   qv_interrupt_child armed FOLDER EVENT [PROBE]
//       arms the guard over FOLDER\__Package_Quorvex.exe with a last-words hook that writes
//       FOLDER\mark; with PROBE, also runs "PROBE script pids:FOLDER\probe.pids sleep:60000" as
//       the package (its id lands in probe.pids). Then sets the named event EVENT and waits to
//       be stopped; exit code 3 when no stop came within a minute.
//   qv_interrupt_child disarmed FOLDER EVENT
//       the same guard, put away again before EVENT is set: a stop now takes its default course.
//   qv_interrupt_child flooding FOLDER EVENT
//       the armed guard, then EVENT is set and standard output is written without end: once no
//       one reads it, the writes block (holding the stream) when the stop comes.
//   qv_interrupt_child send PID break|c [GROUP]
//       joins the console of process PID and sends Ctrl+Break or Ctrl+C to process group GROUP
//       there (0, the default: every process of the console; this process ignores both). 0 when
//       sent; 12 when the console could not be joined, 13 when the event could not be sent (the
//       reason on standard error).
//   qv_interrupt_child raise PID break|close|logoff|shutdown
//       delivers that event to process PID the way the console host does, without a console:
//       a thread of PID runs the system's console-event routine. 0 when started (12 to 14 when
//       not, the reason on standard error).
// A child started with a console of its own and a process group of its own has Ctrl+C turned
// off (the system does that for a new group); an installer started from a console has it on,
// so the guard modes turn it back on first.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "install/InterruptGuard.h"
#include "install/StatusChildRun.h"
#include "utils/CommandLine.h"
#include "utils/StringUtils.h"
#include "utils/UniqueHandle_win32.h"

namespace {

constexpr int kNotStopped = 3;

bool SetReady(const std::wstring& name) {
    const Utils::UniqueHandle event(::OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str()));
    return event && ::SetEvent(event.Get());
}

// Runs the probe as the package on a thread of its own, as the unattended install does, and
// waits until it runs and has written its id. The thread is left to the process's end.
bool StartPackage(const std::wstring& probe, const std::wstring& folder) {
    const std::wstring pids = folder + L"\\probe.pids";
    const std::wstring line = Utils::QuoteArgument(probe) + L" script " +
                              Utils::QuoteArgument(L"pids:" + pids) + L" sleep:60000";
    std::thread([probe, line] {
        StatusChildRun run;
        run.Run(probe, line, [](std::string_view) { return 0; });
    }).detach();
    for (int waited = 0; waited < 20000; waited += 50) {
        if (StatusChildRun::CurrentGroup() != 0 && ::GetFileAttributesW(pids.c_str()) != INVALID_FILE_ATTRIBUTES) {
            std::ifstream in{std::filesystem::path(pids)};
            long long id = 0;
            if (in >> id && id == StatusChildRun::CurrentGroup()) return true;
        }
        ::Sleep(50);
    }
    return false;
}

// Arms the guard (and puts it away again unless `keepGuard`), starts the package when a probe
// is given, tells the test it is ready and waits for the stop.
int Guarded(const std::wstring& folder, const std::wstring& event, bool keepGuard, const std::wstring& probe,
            bool flood = false) {
    if (!::SetConsoleCtrlHandler(nullptr, FALSE)) return 10;
    const std::filesystem::path mark = folder + L"\\mark";
    std::optional<InterruptGuard> guard;
    guard.emplace(folder + L"\\__Package_Quorvex.exe",
                  [mark] { std::ofstream(mark, std::ios::binary) << "hook ran\n"; });
    if (!keepGuard) guard.reset();
    if (!probe.empty() && !StartPackage(probe, folder)) return 11;
    if (!SetReady(event)) return 12;
    if (flood) {
        static const std::string block(4096, 'x');
        for (const auto until = ::GetTickCount64() + 60000; ::GetTickCount64() < until;)
            std::fwrite(block.data(), 1, block.size(), stdout);
    }
    ::Sleep(60000);
    return kNotStopped;
}

// Takes Ctrl+Break when it is sent to the whole console, this process included.
BOOL WINAPI Swallow(DWORD event) { return event == CTRL_BREAK_EVENT ? TRUE : FALSE; }

int Send(DWORD pid, const std::string& what, DWORD group) {
    ::FreeConsole();  // none is fine: this process usually starts without one
    // Wine's console host for a new console may still be coming up (seen once in many runs):
    // joining is tried for a while.
    bool attached = false;
    DWORD error = 0;
    for (int tries = 0; tries < 20 && !attached; ++tries) {
        attached = ::AttachConsole(pid);
        if (!attached) {
            error = ::GetLastError();
            ::Sleep(100);
        }
    }
    if (!attached) {
        std::fprintf(stderr, "AttachConsole: %lu\n", error);
        return 12;
    }
    const DWORD event = what == "c" ? CTRL_C_EVENT : CTRL_BREAK_EVENT;
    if (!::SetConsoleCtrlHandler(nullptr, TRUE) || !::SetConsoleCtrlHandler(&Swallow, TRUE)) {
        std::fprintf(stderr, "SetConsoleCtrlHandler: %lu\n", ::GetLastError());
        return 12;
    }
    const bool sent = ::GenerateConsoleCtrlEvent(event, group);
    if (!sent) std::fprintf(stderr, "GenerateConsoleCtrlEvent: %lu\n", ::GetLastError());
    // The event is delivered on a thread of each receiver; this process leaves the console
    // only after its own (ignored) copy had the time to come.
    ::Sleep(200);
    ::FreeConsole();
    return sent ? 0 : 13;
}

// Starts the system's console-event routine in process PID with `what`, as the console host
// does for each event it delivers: the way to deliver the events that cannot be sent from a
// console (the console closing, the session ending) and, under wine, Ctrl+Break.
int Raise(DWORD pid, const std::string& what) {
    DWORD event = CTRL_BREAK_EVENT;
    if (what == "close") event = CTRL_CLOSE_EVENT;
    else if (what == "logoff") event = CTRL_LOGOFF_EVENT;
    else if (what == "shutdown") event = CTRL_SHUTDOWN_EVENT;
    else if (what != "break") return 2;
    // The system's libraries lie at the same address in every process of a session.
    const HMODULE base = ::GetModuleHandleW(L"kernelbase.dll");
    const FARPROC routine = base ? ::GetProcAddress(base, "CtrlRoutine") : nullptr;
    if (!routine) {
        std::fprintf(stderr, "no CtrlRoutine: %lu\n", ::GetLastError());
        return 14;
    }
    const Utils::UniqueHandle process(::OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                                        PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ,
                                                    FALSE, pid));
    if (!process) {
        std::fprintf(stderr, "OpenProcess: %lu\n", ::GetLastError());
        return 12;
    }
    const auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(routine));
    const Utils::UniqueHandle thread(::CreateRemoteThread(
        process.Get(), nullptr, 0, start, reinterpret_cast<void*>(static_cast<ULONG_PTR>(event)), 0, nullptr));
    if (!thread) {
        std::fprintf(stderr, "CreateRemoteThread: %lu\n", ::GetLastError());
        return 13;
    }
    // A handler that takes the event ends the process from that thread.
    ::WaitForSingleObject(thread.Get(), 10000);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const std::string mode = argv[1];
    if (mode == "send")
        return Send(static_cast<DWORD>(std::stoul(argv[2])), argv[3], argc > 4 ? std::stoul(argv[4]) : 0);
    if (mode == "raise") return Raise(static_cast<DWORD>(std::stoul(argv[2])), argv[3]);
    const std::wstring folder = Utils::FromUtf8(argv[2]);
    const std::wstring event = Utils::FromUtf8(argv[3]);
    const std::wstring probe = argc > 4 ? Utils::FromUtf8(argv[4]) : std::wstring();
    if (mode == "armed") return Guarded(folder, event, true, probe);
    if (mode == "disarmed") return Guarded(folder, event, false, probe);
    if (mode == "flooding") return Guarded(folder, event, true, probe, true);
    return 2;
}
