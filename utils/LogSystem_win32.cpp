// The Windows channel of the diagnostic trace: the debugger output, where a debugger or a
// debug-output viewer shows it. The system serialises the output of concurrent callers.
#include "utils/Log.h"

#include <string>

#include "utils/WindowsApi_win32.h"

namespace Utils::detail {

LogClock LocalNow() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

int CurrentProcessId() { return static_cast<int>(GetCurrentProcessId()); }
int CurrentThreadId() { return static_cast<int>(GetCurrentThreadId()); }

void EmitSystemLine(std::wstring_view text) {
    std::wstring line(text);
    line += L"\r\n";
    OutputDebugStringW(line.c_str());
}

}  // namespace Utils::detail
