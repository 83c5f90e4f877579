#include "utils/NumberParsing.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace Utils {
namespace {

// ASCII prefix of the text (number syntax is ASCII); stops at the first other character.
std::string AsciiPrefix(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (static_cast<long>(c) <= 0 || c > 0x7E) break;
        out += static_cast<char>(c);
    }
    return out;
}

}  // namespace

std::optional<int> ParseLeadingInt(const std::wstring& text) {
    const std::string s = AsciiPrefix(text);
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (end == s.c_str() || errno == ERANGE || v < INT_MIN || v > INT_MAX) return std::nullopt;
    return static_cast<int>(v);
}

std::optional<double> ParseLeadingDouble(const std::wstring& text) {
    const std::string s = AsciiPrefix(text);
    char* end = nullptr;
    const double v = detail::StrtodClassic(s.c_str(), &end);
    if (end == s.c_str() || std::isnan(v)) return std::nullopt;
    return v;
}

}  // namespace Utils
