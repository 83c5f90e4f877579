#pragma once
// The diagnostic trace: one line per statement, each with the prefix
// "<P%05d><T%05d><YYYY-MM-DD hh:mm:ss.mmm>(Qualified::Function)<%04d>: ". Lines go to the
// system's developer channel (standard error on Linux, the debugger output on Windows) until a
// program chooses otherwise with SetLogDestination: the installer writes its trace to a log file
// and keeps standard error for what a person running it must read.
//
// Message formats follow the Windows convention of this code base: "%s" takes a wide string
// (const wchar_t*), "%S" a narrow one. Only the format is interpreted; argument text is
// printed literally. Narrow text is read as UTF-8 (our OS boundaries speak it) whatever the
// locale; bytes that do not decode become U+FFFD, so a line is never lost to its arguments.
// Any thread may log; no lock is taken once the destination is chosen (each line is one write).
//
//   QLOG(L"DL_TYPE=%d\r\n", type);
//   QLOG(L"path=%s\r\n", path.c_str());
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace Utils {

class LogFile;

// Formats `format` (wide printf syntax, ISO meaning: "%ls" for wide text) and emits one line.
// A trailing "\r\n" or "\n" in the text is replaced by exactly one line end.
void OutputLog(const wchar_t* format, ...);

// Where lines go instead of the system's channel, for programs that want to see their own
// trace (tests). The sink gets each line without its line end, possibly from several threads
// at once. nullptr restores the system's channel. Set it while no other thread logs.
using LogSink = void (*)(std::wstring_view line);
void SetLogSink(LogSink sink);

// From now until SetLogDestination, lines are kept in memory instead of being written, so a
// program that chooses its trace's destination from its options loses no early line. Call on
// the main thread before any other thread logs.
void HoldLog();
// The trace's destination for the rest of the process: every line goes to `file` (when not
// null; it is kept until the process ends, as threads may log until then), and to standard
// error only when `standardError` is set. The system's developer channel keeps every line
// where it is not standard error (the debugger output on Windows, which costs nothing
// unless someone listens). Without a file the lines go where they went before, so a failed
// log never silences the trace. Held lines are written first, in order. Call once, on the main
// thread.
void SetLogDestination(std::unique_ptr<LogFile> file, bool standardError);
// The path of the destination's log file, "" when the trace goes to no file.
std::wstring LogFilePath();

namespace detail {
struct LogClock {
    int year, month, day, hour, minute, second, millisecond;
};
// The system's parts of a line (one pair of files per system).
LogClock LocalNow();
int CurrentProcessId();
int CurrentThreadId();
// Hands one finished line (no line end) to the system's developer channel.
void EmitSystemLine(std::wstring_view line);
// True where that channel is standard error (Linux).
bool SystemChannelIsStandardError();
// Writes one line (no line end) to standard error as one write.
void EmitStandardErrorLine(std::wstring_view line);
// "void CDownloadInstaller::Start(int)" -> "CDownloadInstaller::Start".
std::wstring QualifiedFunctionName(const char* prettyFunction);
// Rewrites a Windows-style wide format for the ISO wide printf family. Every string
// conversion ("%s", "%S", "%hs", "%ls", ...) becomes "%ls" and every character conversion
// "%lc", because LogStatement hands over all text arguments already widened; everything else
// is unchanged.
std::wstring TranslateFormat(const wchar_t* format);
// Narrow argument text as the line shows it: UTF-8 with U+FFFD for what does not decode;
// "(null)" for a null pointer.
std::wstring WidenArgument(const char* text);

// Narrow strings (char pointers of any constness or signedness) are widened into `holder`,
// which outlives the call; other arguments pass unchanged.
template <typename T>
auto LogArgument(T value, std::wstring& holder) {
    using Pointee = std::remove_cv_t<std::remove_pointer_t<T>>;
    if constexpr (std::is_pointer_v<T> &&
                  (std::is_same_v<Pointee, char> || std::is_same_v<Pointee, signed char> ||
                   std::is_same_v<Pointee, unsigned char>)) {
        holder = WidenArgument(reinterpret_cast<const char*>(value));
        return static_cast<const wchar_t*>(holder.c_str());
    } else {
        return value;
    }
}

inline constexpr wchar_t kPrefix[] = L"<P%05d><T%05d><%04d-%02d-%02d %02d:%02d:%02d.%03d>(%ls)<%04d>: ";

template <typename... Args, size_t... I>
void LogWidened(const wchar_t* format, const std::wstring& function, int line, std::index_sequence<I...>,
                Args... args) {
    [[maybe_unused]] std::array<std::wstring, sizeof...(Args)> holders;
    const LogClock t = LocalNow();
    OutputLog(format, CurrentProcessId(), CurrentThreadId(), t.year, t.month, t.day, t.hour, t.minute, t.second,
              t.millisecond, function.c_str(), line, LogArgument(args, holders[I])...);
}

template <typename... Args>
void LogStatement(const char* prettyFunction, int line, const wchar_t* message, Args... args) {
    static_assert(((std::is_arithmetic_v<Args> || std::is_pointer_v<Args> || std::is_enum_v<Args>) && ...),
                  "log arguments must be numbers or C strings (use .c_str())");
    const std::wstring function = QualifiedFunctionName(prettyFunction);
    const std::wstring format = std::wstring(kPrefix) + TranslateFormat(message);
    LogWidened(format.c_str(), function, line, std::index_sequence_for<Args...>{}, args...);
}
}  // namespace detail

}  // namespace Utils

#define QLOG(message, ...) \
    ::Utils::detail::LogStatement(__PRETTY_FUNCTION__, __LINE__, message __VA_OPT__(, ) __VA_ARGS__)
