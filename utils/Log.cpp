#include "utils/Log.h"

#include <atomic>
#include <cstdarg>
#include <cwchar>
#include <memory>
#include <mutex>
#include <vector>

#include "utils/LogFile.h"
#include "utils/PathText.h"
#include "utils/StringUtils.h"

namespace Utils {
namespace {

std::atomic<LogSink> g_sink{nullptr};

// The destination (SetLogDestination). Until a program chooses one, every line goes to the
// system's channel as it always did.
std::atomic<LogFile*> g_file{nullptr};
std::atomic<bool> g_toSystem{true};
std::atomic<bool> g_toStandardError{false};

// Lines written while the destination is not chosen yet (HoldLog). The flag is read without the
// lock on every line; only a program that holds pays for the lock, and only until it chooses.
std::atomic<bool> g_holding{false};
std::mutex g_heldMutex;
std::vector<std::wstring> g_held;  // guarded by g_heldMutex

void Emit(std::wstring_view text) {
    if (LogFile* file = g_file.load()) file->WriteLine(text);
    if (g_toSystem.load()) detail::EmitSystemLine(text);
    if (g_toStandardError.load()) detail::EmitStandardErrorLine(text);
}

}  // namespace

void SetLogSink(LogSink sink) { g_sink.store(sink); }

std::wstring LogFilePath() {
    const LogFile* file = g_file.load();
    return file ? PathToWide(file->Path()) : std::wstring();
}

void HoldLog() {
    std::lock_guard<std::mutex> lock(g_heldMutex);
    g_holding.store(true);
}

void SetLogDestination(std::unique_ptr<LogFile> file, bool standardError) {
    std::lock_guard<std::mutex> lock(g_heldMutex);
    const bool systemIsStandardError = detail::SystemChannelIsStandardError();
    if (file) {
        // Never freed: a thread may log until the process ends.
        g_file.store(file.release());
        g_toSystem.store(!systemIsStandardError || standardError);
        g_toStandardError.store(standardError && !systemIsStandardError);
    } else {
        g_toSystem.store(true);
        g_toStandardError.store(standardError && !systemIsStandardError);
    }
    for (const std::wstring& line : g_held) Emit(line);
    g_held.clear();
    g_held.shrink_to_fit();
    g_holding.store(false);
}

namespace detail {

std::wstring QualifiedFunctionName(const char* prettyFunction) {
    const std::string s = prettyFunction ? prettyFunction : "";
    // The parameter list is the first "(" outside template brackets, except inside
    // "operator()" where the first pair belongs to the name.
    int depth = 0;
    size_t open = std::string::npos;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '<') ++depth;
        else if (c == '>' && depth > 0) --depth;
        else if (c == '(' && depth == 0) {
            if (i >= 8 && s.compare(i - 8, 8, "operator") == 0 && i + 1 < s.size() && s[i + 1] == ')') {
                ++i;
                continue;
            }
            open = i;
            break;
        }
    }
    if (open == std::string::npos) return FromUtf8(s);
    // The name starts after the last blank outside template brackets before the list.
    depth = 0;
    size_t start = 0;
    for (size_t i = open; i-- > 0;) {
        const char c = s[i];
        if (c == '>') ++depth;
        else if (c == '<' && depth > 0) --depth;
        else if (c == ' ' && depth == 0) {
            start = i + 1;
            break;
        }
    }
    return FromUtf8(s.substr(start, open - start));
}

std::wstring TranslateFormat(const wchar_t* format) {
    std::wstring out;
    if (!format) return out;
    for (const wchar_t* p = format; *p;) {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        out += *p++;
        if (*p == L'%') {
            out += *p++;
            continue;
        }
        // flags, width, precision
        while (*p && std::wcschr(L"-+ #0'123456789.*", *p)) out += *p++;
        // Length modifiers: kept for numbers; text arguments arrive wide whatever they say.
        std::wstring length;
        while (*p && std::wcschr(L"hlLqjzt", *p)) length += *p++;
        if (!*p) {
            out += length;
            break;
        }
        const wchar_t conv = *p++;
        if (conv == L's' || conv == L'S') {
            out += L"ls";
        } else if (conv == L'c' || conv == L'C') {
            out += L"lc";
        } else {
            out += length;
            out += conv;
        }
    }
    return out;
}

std::wstring WidenArgument(const char* text) {
    if (!text) return L"(null)";
    return FromUtf8(text);
}

}  // namespace detail

void OutputLog(const wchar_t* format, ...) {
    if (!format) return;
    // Try a stack buffer, then grow on the heap. Some C libraries report a buffer that is too
    // small by a negative count, others by the count they needed: both mean "grow". Text
    // arguments arrive wide (see LogStatement), so only the size can make it fail; past 16 Mi
    // characters the line is written cut rather than lost.
    constexpr size_t kMaxChars = size_t{1} << 24;
    wchar_t stackBuffer[512];
    std::unique_ptr<wchar_t[]> heap;
    wchar_t* buffer = stackBuffer;
    size_t capacity = sizeof(stackBuffer) / sizeof(stackBuffer[0]);
    size_t length = 0;
    while (true) {
        buffer[0] = L'\0';
        va_list args;
        va_start(args, format);
        const int written = vswprintf(buffer, capacity, format, args);
        va_end(args);
        if (written >= 0 && static_cast<size_t>(written) < capacity) {
            length = static_cast<size_t>(written);
            break;
        }
        if (capacity >= kMaxChars) {
            buffer[capacity - 1] = L'\0';
            length = std::wcslen(buffer);
            break;
        }
        capacity *= 4;
        heap.reset(new (std::nothrow) wchar_t[capacity]);
        if (!heap) {
            buffer = stackBuffer;
            length = 0;  // nothing fits: at least the line end marks the statement
            break;
        }
        buffer = heap.get();
    }
    std::wstring_view text(buffer, length);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.remove_suffix(1);
    if (const LogSink sink = g_sink.load()) {
        sink(text);
        return;
    }
    if (g_holding.load()) {
        std::lock_guard<std::mutex> lock(g_heldMutex);
        if (g_holding.load()) {  // not chosen meanwhile
            g_held.emplace_back(text);
            return;
        }
    }
    Emit(text);
}

}  // namespace Utils
