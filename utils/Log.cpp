#include "utils/Log.h"

#include <atomic>
#include <cstdarg>
#include <cwchar>
#include <memory>

#include "utils/StringUtils.h"

namespace Utils {
namespace {

std::atomic<LogSink> g_sink{nullptr};

}  // namespace

void SetLogSink(LogSink sink) { g_sink.store(sink); }

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
    detail::EmitSystemLine(text);
}

}  // namespace Utils
