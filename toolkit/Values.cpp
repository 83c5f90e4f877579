#include "toolkit/Values.h"

#include <algorithm>
#include <climits>
#include <cwctype>

#include "utils/StringUtils.h"

namespace Toolkit {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; }

// Reads a decimal integer at `pos` (after blanks and a sign), advancing `pos` past it.
int ReadInt(std::wstring_view text, size_t& pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) {
        negative = text[pos] == L'-';
        ++pos;
    }
    long long value = 0;
    while (pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9') {
        if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (text[pos] - L'0');
        ++pos;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

int ClampLength(int v) { return std::clamp(v, -kMaxLayoutLength, kMaxLayoutLength); }

// Reads the length that follows the next comma (0 when there is none).
int ReadNextPart(std::wstring_view text, size_t& pos) {
    const size_t comma = text.find(L',', pos);
    if (comma == std::wstring_view::npos) {
        pos = text.size();
        return 0;
    }
    pos = comma + 1;
    return ClampLength(ReadInt(text, pos));
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

}  // namespace

int ParseInt(std::wstring_view text) {
    size_t pos = 0;
    return ReadInt(text, pos);
}

int ParseLength(std::wstring_view text) { return ClampLength(ParseInt(text)); }

Rect ParseRect(std::wstring_view text) {
    size_t pos = 0;
    Rect r;
    r.left = ClampLength(ReadInt(text, pos));
    r.top = ReadNextPart(text, pos);
    r.right = ReadNextPart(text, pos);
    r.bottom = ReadNextPart(text, pos);
    return r;
}

Size ParseSize(std::wstring_view text) {
    size_t pos = 0;
    Size s;
    s.cx = ClampLength(ReadInt(text, pos));
    s.cy = ReadNextPart(text, pos);
    return s;
}

Color ParseColor(std::wstring_view text) {
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos < text.size() && text[pos] == L'#') ++pos;
    if (pos + 1 < text.size() && text[pos] == L'0' && (text[pos + 1] == L'x' || text[pos + 1] == L'X') &&
        pos + 2 < text.size() && HexDigit(text[pos + 2]) >= 0)
        pos += 2;
    std::uint64_t value = 0;
    for (; pos < text.size(); ++pos) {
        const int d = HexDigit(text[pos]);
        if (d < 0) break;
        value = (value << 4) | static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFull) value = 0xFFFFFFFFull;  // saturate like strtoul's ULONG_MAX
    }
    return static_cast<Color>(value);
}

bool ParseBool(std::wstring_view text) { return Utils::EqualsNoCase(text, L"true"); }

ImageDescriptor ParseImageDescriptor(std::wstring_view text) {
    ImageDescriptor d;
    size_t pos = 0;
    int parsed = 0;
    for (;;) {
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        if (pos >= text.size()) break;
        const size_t eq = text.find(L'=', pos);
        if (eq == std::wstring_view::npos || eq + 1 >= text.size() || text[eq + 1] != L'\'') break;
        std::wstring name(text.substr(pos, eq - pos));
        if (name.empty() || name.find_first_of(L" \t\r\n'") != std::wstring::npos) break;
        const size_t close = text.find(L'\'', eq + 2);
        if (close == std::wstring_view::npos) break;
        const std::wstring_view value = text.substr(eq + 2, close - eq - 2);
        pos = close + 1;
        ++parsed;
        name = Utils::AsciiLower(name);
        if (name == L"file" || name == L"res") d.file = std::wstring(value);
        else if (name == L"restype") d.resType = std::wstring(value);
        else if (name == L"dest") { d.dest = ParseRect(value); d.hasDest = true; }
        else if (name == L"source") { d.source = ParseRect(value); d.hasSource = true; }
        else if (name == L"corner") d.corner = ParseRect(value);
        else if (name == L"mask") { d.mask = ParseColor(value); d.hasMask = true; }
        else if (name == L"fade") d.fade = std::clamp(ParseInt(value), 0, 255);
        else if (name == L"hole") d.hole = ParseBool(value);
        else if (name == L"xtiled") d.xTiled = ParseBool(value);
        else if (name == L"ytiled") d.yTiled = ParseBool(value);
    }
    if (parsed == 0) d.file = Utils::Trim(std::wstring(text));
    return d;
}

}  // namespace Toolkit
