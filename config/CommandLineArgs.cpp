#include "config/CommandLineArgs.h"

#include "utils/NumberParsing.h"

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
    return Utils::ParseLeadingInt(GetString(key)).value_or(0);
}

bool CommandLineArgs::GetBool(const std::wstring& key, bool fallback) const {
    if (!Has(key)) return fallback;
    return GetString(key) == L"true";
}

double CommandLineArgs::GetDouble(const std::wstring& key, double fallback) const {
    if (!Has(key)) return fallback;
    return Utils::ParseLeadingDouble(GetString(key)).value_or(fallback);
}
