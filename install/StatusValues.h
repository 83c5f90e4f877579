#pragma once
// Value readers shared by the package and uninstaller status parsers.
#include <cstdint>
#include <string>
#include <string_view>

namespace StatusValues {

// When `line` starts with `key`, the rest of the line cut to `maxChars` (and trimmed when
// asked) in `rest`; false otherwise.
bool TakeKey(std::wstring_view line, std::wstring_view key, size_t maxChars, bool trimmed, std::wstring& rest);
// A leading decimal number as "%lf" reads it; 0 when none can be read or it is not finite
// (a progress fraction must stay a usable number).
double ReadNumber(const std::wstring& text);
// A leading decimal integer as "%d" reads it; 0 when none can be read or it leaves the int
// range.
int ReadInt(const std::wstring& text);
// Decodes one line in a code page (0 = the locale's charset); empty when undecodable.
std::wstring Decode(std::string_view bytes, unsigned codePage);

}  // namespace StatusValues
