// The per-user registry on Windows: HKEY_CURRENT_USER.
#include "utils/RegistryStore.h"

#include <vector>

#include "utils/WindowsApi_win32.h"
#include "utils/WinResource_win32.h"

namespace Utils {
namespace {

using UniqueKey = win::UniqueFree<HKEY__, RegCloseKey>;

}  // namespace

bool RegistryStore::Read(const std::wstring& keyPath, const std::wstring& valueName, std::wstring& value) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return false;
    const UniqueKey key(raw);
    // The value may grow between the size query and the read: ask again until it fits.
    std::vector<BYTE> data(520);
    while (true) {
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size());
        const LSTATUS status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(size + sizeof(wchar_t));
            continue;
        }
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        value = text.substr(0, text.find(L'\0'));
        return true;
    }
}

bool RegistryStore::Write(const std::wstring& keyPath, const std::wstring& valueName, const std::wstring& value) {
    if (value.find_first_of(L"\r\n") != std::wstring::npos) return false;
    HKEY raw = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &raw, nullptr) != ERROR_SUCCESS)
        return false;
    const UniqueKey key(raw);
    // The stored text is the value up to its first zero, counted with its terminating zero.
    const std::wstring text = value.substr(0, value.find(L'\0'));
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          bytes) == ERROR_SUCCESS;
}

bool ReadRegString(const std::wstring& valueName, std::wstring& value) {
    return RegistryStore::Read(kProductRegistryKey, valueName, value);
}

bool WriteRegString(const std::wstring& valueName, const std::wstring& value) {
    return RegistryStore::Write(kProductRegistryKey, valueName, value);
}

}  // namespace Utils
