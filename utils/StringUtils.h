#pragma once
// String helpers shared by every subsystem. Wide strings are UTF-32 where wchar_t has 4 bytes
// (Linux) and UTF-16 where it has 2 (Windows); every OS boundary (files, pipes, the terminal)
// speaks UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

namespace Utils {

// Code page numbers as the package and the analytics layer name them. (Not CP_ACP/CP_UTF8:
// those are macros in the Windows headers.)
inline constexpr unsigned kCodePageSystem = 0;  // the locale's own charset
inline constexpr unsigned kCodePageUtf8 = 65001;

// Removes white space at both ends.
std::wstring Trim(const std::wstring& text);
std::string Trim(const std::string& text);

// Replaces every occurrence of `pattern`. The search continues after each replacement, so a
// replacement that contains the pattern terminates (it is not searched again).
std::wstring ReplaceAll(std::wstring text, const std::wstring& pattern, const std::wstring& replacement);

// Code-page conversions: 0 is the system code page (on Linux the locale's charset), 65001
// UTF-8, any other N that code page (936 is GBK). Input is taken up to its first zero. Empty on
// any failure: an invalid sequence, or a character the target cannot hold.
std::string WideToMultiByte(const std::wstring& text, unsigned codePage);
std::wstring MultiByteToWide(const std::string& text, unsigned codePage);

// Locale-independent UTF-8 <-> wide conversions (UTF-32 or UTF-16 after the size of wchar_t).
// Invalid input bytes become U+FFFD; code points that cannot be encoded (lone surrogates,
// values above U+10FFFF) are replaced the same way, so these never fail.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
// The UTF-16 forms, which the wide ones use where wchar_t has 2 bytes: code points above
// U+FFFF travel as surrogate pairs.
std::string ToUtf8(std::u16string_view text);
std::u16string Utf16FromUtf8(std::string_view text);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

// ASCII-only case folding for names compared "without regard to case".
std::wstring AsciiLower(std::wstring text);
std::string AsciiLower(std::string text);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// A flag as settings files and command lines write it (read back as true only for "true").
inline const wchar_t* FlagText(bool value) { return value ? L"true" : L"false"; }

}  // namespace Utils
