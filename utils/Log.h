#pragma once
// The diagnostic trace: one line per statement on standard error, each with the prefix
// "<P%05d><T%05d><YYYY-MM-DD hh:mm:ss.mmm>(Qualified::Function)<%04d>: ".
//
// Message formats follow the Windows convention of this code base: "%s" takes a wide string
// (const wchar_t*), "%S" a narrow one. Only the format is interpreted; argument text is
// printed literally. Any thread may log; no lock is taken.
//
//   QLOG(L"DL_TYPE=%d\r\n", type);
//   QLOG(L"path=%s\r\n", path.c_str());
#include <string>
#include <type_traits>

namespace Utils {

// Formats `format` (wide printf syntax, Linux meaning) and emits one line on standard error.
// A trailing "\r\n" or "\n" in the text is replaced by exactly one newline.
void OutputLog(const wchar_t* format, ...);

namespace detail {
struct LogClock {
    int year, month, day, hour, minute, second, millisecond;
};
LogClock LocalNow();
int CurrentProcessId();
int CurrentThreadId();
// "void CDownloadInstaller::Start(int)" -> "CDownloadInstaller::Start".
std::wstring QualifiedFunctionName(const char* prettyFunction);
// Rewrites a Windows-style wide format for the Linux wide printf family: "%s" -> "%ls",
// "%S" -> "%s", "%c" -> "%lc", "%C" -> "%c"; everything else unchanged.
std::wstring TranslateFormat(const wchar_t* format);

inline constexpr wchar_t kPrefix[] = L"<P%05d><T%05d><%04d-%02d-%02d %02d:%02d:%02d.%03d>(%ls)<%04d>: ";

template <typename... Args>
void LogStatement(const char* prettyFunction, int line, const wchar_t* message, Args... args) {
    static_assert(((std::is_arithmetic_v<Args> || std::is_pointer_v<Args> || std::is_enum_v<Args>) && ...),
                  "log arguments must be numbers or C strings (use .c_str())");
    const LogClock t = LocalNow();
    const std::wstring function = QualifiedFunctionName(prettyFunction);
    const std::wstring format = std::wstring(kPrefix) + TranslateFormat(message);
    OutputLog(format.c_str(), CurrentProcessId(), CurrentThreadId(), t.year, t.month, t.day, t.hour,
              t.minute, t.second, t.millisecond, function.c_str(), line, args...);
}
}  // namespace detail

}  // namespace Utils

#define QLOG(message, ...) \
    ::Utils::detail::LogStatement(__PRETTY_FUNCTION__, __LINE__, message __VA_OPT__(, ) __VA_ARGS__)
