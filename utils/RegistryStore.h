#pragma once
// The per-user registry: string values under key paths such as "Software\VarNelSoft\Quorvex".
// On Windows, REG_SZ values under HKEY_CURRENT_USER. On Linux, kept in
// $XDG_CONFIG_HOME/VarNelSoft/registry.ini, one section per key path, values quoted so that
// surrounding blanks and quotes survive exactly. On both, a value holding a line break is
// refused rather than cut, and value names are compared without case.
#include <string>

namespace Utils {

inline constexpr wchar_t kProductRegistryKey[] = L"Software\\VarNelSoft\\Quorvex";

class RegistryStore {
public:
    static bool Read(const std::wstring& keyPath, const std::wstring& valueName, std::wstring& value);
    static bool Write(const std::wstring& keyPath, const std::wstring& valueName, const std::wstring& value);
};

// On the product key: the value up to its first zero; true on success (the result is left
// unchanged when the value is missing).
bool ReadRegString(const std::wstring& valueName, std::wstring& value);
bool WriteRegString(const std::wstring& valueName, const std::wstring& value);

}  // namespace Utils
