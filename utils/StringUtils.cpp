#include "utils/StringUtils.h"

namespace Utils {
namespace {

bool IsSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f' ||
           c == 0x00A0 || c == 0x3000 || c == 0xFEFF;
}

template <typename S>
S TrimImpl(const S& text) {
    size_t end = text.size();
    while (end > 0 && IsSpace(static_cast<wchar_t>(text[end - 1]))) --end;
    size_t begin = 0;
    while (begin < end && IsSpace(static_cast<wchar_t>(text[begin]))) ++begin;
    return text.substr(begin, end - begin);
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at `i`; returns U+FFFD and advances one byte on malformed input.
char32_t DecodeUtf8(std::string_view s, size_t& i, bool& valid) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    valid = true;
    if (b0 < 0x80) { ++i; return b0; }
    size_t len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) { len = 2; cp = b0 & 0x1F; min = 0x80; }
    else if ((b0 & 0xF0) == 0xE0) { len = 3; cp = b0 & 0x0F; min = 0x800; }
    else if ((b0 & 0xF8) == 0xF0) { len = 4; cp = b0 & 0x07; min = 0x10000; }
    if (len == 0 || i + len > s.size()) { valid = false; ++i; return 0xFFFD; }
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) { valid = false; ++i; return 0xFFFD; }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { valid = false; ++i; return 0xFFFD; }
    i += len;
    return cp;
}

}  // namespace

std::wstring Trim(const std::wstring& text) { return TrimImpl(text); }
std::string Trim(const std::string& text) { return TrimImpl(text); }

std::wstring ReplaceAll(std::wstring text, const std::wstring& pattern, const std::wstring& replacement) {
    if (pattern.empty()) return text;
    size_t pos = 0;
    while ((pos = text.find(pattern, pos)) != std::wstring::npos) {
        text.replace(pos, pattern.size(), replacement);
        pos += replacement.size();
    }
    return text;
}

namespace {

// Code points from UTF-16 or UTF-32 code units; a lone surrogate gives U+FFFD.
template <typename Char>
std::string EncodeUnits(std::basic_string_view<Char> text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        auto cp = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(Char) == 2) {
            cp &= 0xFFFF;
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
                const auto low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        AppendUtf8(out, cp);  // still a surrogate here: unpaired, replaced
    }
    return out;
}

template <typename String>
String DecodeUnits(std::string_view text) {
    using Char = typename String::value_type;
    String out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        bool valid;
        const char32_t cp = DecodeUtf8(text, i, valid);
        if constexpr (sizeof(Char) == 2) {
            if (cp > 0xFFFF) {
                out += static_cast<Char>(0xD800 + ((cp - 0x10000) >> 10));
                out += static_cast<Char>(0xDC00 + ((cp - 0x10000) & 0x3FF));
                continue;
            }
        }
        out += static_cast<Char>(cp);
    }
    return out;
}

}  // namespace

std::string ToUtf8(std::wstring_view text) { return EncodeUnits(text); }
std::wstring FromUtf8(std::string_view text) { return DecodeUnits<std::wstring>(text); }
std::string ToUtf8(std::u16string_view text) { return EncodeUnits(text); }
std::u16string Utf16FromUtf8(std::string_view text) { return DecodeUnits<std::u16string>(text); }

bool IsValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        bool valid;
        DecodeUtf8(text, i, valid);
        if (!valid) return false;
    }
    return true;
}

std::wstring AsciiLower(std::wstring text) {
    for (auto& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

std::string AsciiLower(std::string text) {
    for (auto& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace Utils
