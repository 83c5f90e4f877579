#pragma once
// The installer's options, built from the process arguments in order (the program path
// included): "-key=value" gives key "-key" (the text before the first "=") and the value
// after it; any other argument is a key with an empty value. Keys are case-sensitive and the
// first occurrence of a repeated key wins.
#include <map>
#include <string>
#include <vector>

class CommandLineArgs {
public:
    explicit CommandLineArgs(const std::vector<std::wstring>& arguments);

    bool Has(const std::wstring& key) const { return values_.count(key) != 0; }
    // The value, or "" when the key is absent.
    std::wstring GetString(const std::wstring& key) const;
    // Decimal integer read as std::stoi reads it (blanks, sign, longest prefix); `fallback`
    // when the key is absent, 0 when the value has no numeric prefix or leaves the int range.
    int GetInt(const std::wstring& key, int fallback) const;
    // True exactly when the value is "true"; `fallback` when the key is absent.
    bool GetBool(const std::wstring& key, bool fallback) const;
    // Floating-point number read as std::stod reads it, independent of the process locale;
    // `fallback` when the key is absent or the value has no numeric prefix or is NaN.
    double GetDouble(const std::wstring& key, double fallback) const;

    const std::map<std::wstring, std::wstring>& Values() const { return values_; }

private:
    std::map<std::wstring, std::wstring> values_;
};
