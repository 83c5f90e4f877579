#pragma once
// Leading-number readers with std::stoi / std::stod semantics (leading blanks, a sign, the
// longest numeric prefix) but without exceptions and independent of the process locale, so
// "0.7" reads the same whatever LC_NUMERIC says.
#include <optional>
#include <string>

namespace Utils {

// nullopt when nothing numeric leads the text or the value leaves the int range.
std::optional<int> ParseLeadingInt(const std::wstring& text);
// nullopt when nothing numeric leads the text or it reads as NaN; an out-of-range value
// arrives as +-HUGE_VAL or a tiny number (callers clamp).
std::optional<double> ParseLeadingDouble(const std::wstring& text);

namespace detail {
// strtod with the "C" locale's rules (one per system).
double StrtodClassic(const char* text, char** end);
}  // namespace detail

}  // namespace Utils
