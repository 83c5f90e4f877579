#include "app/CommandLineArgs.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace {

// ASCII prefix of the text (number syntax is ASCII); stops at the first other character.
std::string AsciiPrefix(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c <= 0 || c > 0x7E) break;
        out += static_cast<char>(c);
    }
    return out;
}

locale_t CLocale() {
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
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
    const double v = strtod_l(s.c_str(), &end, CLocale());
    if (end == s.c_str() || std::isnan(v)) return std::nullopt;
    return v;  // an out-of-range value arrives as +-HUGE_VAL or a tiny number; callers clamp
}

CommandLineArgs::CommandLineArgs(const std::vector<std::wstring>& arguments) {
    for (const auto& arg : arguments) {
        const size_t eq = arg.find(L'=');
        if (!arg.empty() && arg[0] == L'-' && eq != std::wstring::npos)
            values_.emplace(arg.substr(0, eq), arg.substr(eq + 1));  // emplace keeps the first
        else
            values_.emplace(arg, std::wstring());
    }
}

std::wstring CommandLineArgs::GetString(const std::wstring& key) const {
    const auto it = values_.find(key);
    return it == values_.end() ? std::wstring() : it->second;
}

int CommandLineArgs::GetInt(const std::wstring& key, int fallback) const {
    if (!Has(key)) return fallback;
    return ParseLeadingInt(GetString(key)).value_or(0);
}

bool CommandLineArgs::GetBool(const std::wstring& key, bool fallback) const {
    if (!Has(key)) return fallback;
    return GetString(key) == L"true";
}

double CommandLineArgs::GetDouble(const std::wstring& key, double fallback) const {
    if (!Has(key)) return fallback;
    return ParseLeadingDouble(GetString(key)).value_or(fallback);
}
