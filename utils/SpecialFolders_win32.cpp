// The installer's folders on Windows: the system's known folders.
#include "utils/SpecialFolders.h"

#include <string>
#include <vector>

#include "utils/WindowsApi_win32.h"
#include "utils/WinResource_win32.h"
#include <knownfolders.h>
#include <shlobj.h>

namespace Utils {
namespace {

// The known folder's path; empty when the system does not have it (for example the 32-bit
// program files folder on a 32-bit system).
std::filesystem::path KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR raw = nullptr;
    const HRESULT hr = SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &raw);
    const win::UniqueFree<wchar_t, CoTaskMemFree> owned(raw);  // freed even on failure
    if (FAILED(hr) || !raw) return {};
    return std::filesystem::path(raw);
}

std::optional<std::wstring> Variable(const wchar_t* name) {
    std::vector<wchar_t> buffer(256);
    while (true) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::wstring();
        }
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(n);
    }
}

}  // namespace

std::filesystem::path ExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    while (true) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::filesystem::path(std::wstring(buffer.data(), n));
        if (buffer.size() >= 32768) return {};  // longer than any path the system allows
        buffer.resize(buffer.size() * 2);
    }
}

std::filesystem::path HomeFolder() { return KnownFolder(FOLDERID_Profile); }
std::filesystem::path ConfigHome() { return KnownFolder(FOLDERID_RoamingAppData); }
std::filesystem::path DataHome() { return KnownFolder(FOLDERID_RoamingAppData); }
std::filesystem::path StateHome() { return KnownFolder(FOLDERID_LocalAppData); }

std::optional<std::filesystem::path> AppDataFolder() {
    const auto v = Variable(L"APPDATA");
    if (!v || v->empty()) return std::nullopt;
    return std::filesystem::path(*v);
}

std::filesystem::path CommonDocumentsFolder() { return KnownFolder(FOLDERID_PublicDocuments); }

std::filesystem::path ProgramFilesFolder() {
    const auto x86 = KnownFolder(FOLDERID_ProgramFilesX86);
    return x86.empty() ? KnownFolder(FOLDERID_ProgramFiles) : x86;
}

std::filesystem::path TempRoot() {
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH + 1) return {};
    return std::filesystem::path(std::wstring(buffer, n));
}

}  // namespace Utils
