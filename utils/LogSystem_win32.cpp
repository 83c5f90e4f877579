// The Windows channel of the diagnostic trace: the debugger output, where a debugger or a
// debug-output viewer shows it. The system serialises the output of concurrent callers.
// Standard error gets the trace only when the program asks (a developer's console or a test's
// pipe): a console takes the wide text as it is, anything else the UTF-8 bytes.
#include "utils/Log.h"

#include <string>

#include "utils/StringUtils.h"
#include "utils/WindowsApi_win32.h"

namespace Utils::detail {

LogClock LocalNow() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

int CurrentProcessId() { return static_cast<int>(GetCurrentProcessId()); }
int CurrentThreadId() { return static_cast<int>(GetCurrentThreadId()); }

bool SystemChannelIsStandardError() { return false; }

void EmitStandardErrorLine(std::wstring_view text) {
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (::GetConsoleMode(err, &mode)) {
        std::wstring line(text);
        line += L"\r\n";
        (void)::WriteConsoleW(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    std::string line = ToUtf8(text);
    line += "\r\n";
    (void)::WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void EmitSystemLine(std::wstring_view text) {
    std::wstring line(text);
    line += L"\r\n";
    OutputDebugStringW(line.c_str());
}

}  // namespace Utils::detail
