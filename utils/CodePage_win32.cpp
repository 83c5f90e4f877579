// Code-page conversions on Windows: the system's own converters, strict in both directions so
// that a failure gives "" as it does on Linux (an invalid byte sequence, or a character the
// target code page cannot hold, fails the whole conversion instead of becoming '?').
#include "utils/StringUtils.h"

#include <climits>
#include <vector>

#include "utils/WindowsApi_win32.h"

namespace Utils {
namespace {

// Code pages that take neither the strictness flags nor the default-character query
// (the ISO-2022 family, HZ, GB18030, ISCII, UTF-7, symbol).
bool TakesNoFlags(unsigned codePage) {
    return codePage == 42 || (codePage >= 50220 && codePage <= 50229) || codePage == 52936 || codePage == 54936 ||
           (codePage >= 57002 && codePage <= 57011) || codePage == 65000;
}

}  // namespace

std::string WideToMultiByte(const std::wstring& text, unsigned codePage) {
    const std::wstring cut = text.substr(0, text.find(L'\0'));
    if (cut.empty() || cut.size() > INT_MAX) return {};
    if (codePage == kCodePageUtf8) return ToUtf8(cut);
    const int inChars = static_cast<int>(cut.size());
    const bool strict = !TakesNoFlags(codePage);
    BOOL usedDefault = FALSE;
    const int needed = WideCharToMultiByte(codePage, 0, cut.data(), inChars, nullptr, 0, nullptr,
                                           strict ? &usedDefault : nullptr);
    if (needed <= 0 || usedDefault) return {};
    std::string out(static_cast<size_t>(needed), '\0');
    const int written = WideCharToMultiByte(codePage, 0, cut.data(), inChars, out.data(), needed, nullptr,
                                            strict ? &usedDefault : nullptr);
    if (written <= 0 || usedDefault) return {};
    out.resize(static_cast<size_t>(written));
    return out;
}

std::wstring MultiByteToWide(const std::string& text, unsigned codePage) {
    const std::string cut = text.substr(0, text.find('\0'));
    if (cut.empty() || cut.size() > INT_MAX) return {};
    if (codePage == kCodePageUtf8) {
        if (!IsValidUtf8(cut)) return {};
        return FromUtf8(cut);
    }
    const int inBytes = static_cast<int>(cut.size());
    const DWORD flags = TakesNoFlags(codePage) ? 0 : MB_ERR_INVALID_CHARS;
    const int needed = MultiByteToWideChar(codePage, flags, cut.data(), inBytes, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring out(static_cast<size_t>(needed), L'\0');
    const int written = MultiByteToWideChar(codePage, flags, cut.data(), inBytes, out.data(), needed);
    if (written <= 0) return {};
    out.resize(static_cast<size_t>(written));
    return out;
}

}  // namespace Utils
