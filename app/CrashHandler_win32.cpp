#include "app/CrashHandler.h"

#include <atomic>
#include <csignal>
#include <cwchar>

#include "utils/WindowsApi_win32.h"

namespace {

// Stack kept back for the handler on a thread whose own stack overflowed: the filter runs on
// the faulting thread, on what is left of its stack.
constexpr ULONG kHandlerStackBytes = 64 * 1024;
// The code abort() reports: it raises no exception, so we name it as the C runtime's fatal
// application exit.
constexpr DWORD kAbortCode = 0x40000015;  // STATUS_FATAL_APP_EXIT

CrashHandler::Reporter* g_reporter = nullptr;  // set once on the main thread, never freed
std::atomic<bool> g_reporting{false};

// Only the first crash reports; a crash inside the reporter or on a second thread goes straight
// on to the system's handling.
void ReportOnce(DWORD code) noexcept {
    if (g_reporting.exchange(true) || !g_reporter || !*g_reporter) return;
    try {
        (*g_reporter)(static_cast<int>(code));
    } catch (...) {
    }
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
    ReportOnce(info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 0);
    return EXCEPTION_CONTINUE_SEARCH;  // the system ends the process with the exception's code
}

// abort() and std::terminate() end the process through the C runtime without an exception;
// once this returns the runtime exits with status 3.
void OnAbort(int) { ReportOnce(kAbortCode); }

}  // namespace

std::wstring CrashHandler::Describe(int crashCode) {
    wchar_t text[32];
    std::swprintf(text, sizeof text / sizeof text[0], L"exception 0x%08X", static_cast<unsigned>(crashCode));
    return text;
}

bool CrashHandler::PrepareThread() {
    ULONG reserve = kHandlerStackBytes;
    return ::SetThreadStackGuarantee(&reserve) != 0;
}

bool CrashHandler::Install(Reporter reporter) {
    if (!g_reporter) g_reporter = new Reporter();
    *g_reporter = std::move(reporter);
    bool ok = PrepareThread();
    ::SetUnhandledExceptionFilter(&OnUnhandledException);  // returns the previous filter, no failure
    ok = std::signal(SIGABRT, &OnAbort) != SIG_ERR && ok;
    return ok;
}
