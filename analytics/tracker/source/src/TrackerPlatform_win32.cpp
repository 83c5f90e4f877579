#include "analytics/tracker/source/src/TrackerPlatform.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "analytics/tracker/source/src/WindowsVersionText.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"
#include "utils/WindowsApi_win32.h"

#include <objbase.h>
#include <shlobj.h>

#include "utils/SystemFunction_win32.h"

namespace varnel::tracking::platform {
namespace {

bool IsFolder(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

struct FindCloser {
    void operator()(HANDLE search) const { FindClose(search); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

// The NT version as ntdll reports it (no manifest or compatibility shim changes it); all 0
// when ntdll or the function is missing.
WindowsVersion NtVersion() {
    WindowsVersion version;
    using GetNumbers = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
    const auto get = Utils::win::SystemFunction<GetNumbers>(L"ntdll.dll", "RtlGetNtVersionNumbers");
    if (!get) return version;
    DWORD major = 0, minor = 0, build = 0;
    get(&major, &minor, &build);
    version.major = major;
    version.minor = minor;
    version.build = build & 0xFFFF;
    return version;
}

std::string LocaleField(const wchar_t* locale, LCTYPE field) {
    wchar_t text[16] = {};
    if (GetLocaleInfoEx(locale, field, text, static_cast<int>(std::size(text))) == 0) return {};
    return Utils::ToUtf8(text);
}

}  // namespace

std::string OsName() { return "Windows"; }

std::string OsVersion() {
    WindowsVersion version = NtVersion();
    version.is64Bit = Is64BitSystem();
    version.serverR2 = GetSystemMetrics(SM_SERVERR2) != 0;
    return WindowsVersionText(version);
}

bool Is64BitSystem() {
    if constexpr (sizeof(void*) == 8) return true;
    BOOL wow64 = FALSE;
    if (IsWow64Process(GetCurrentProcess(), &wow64)) return wow64 != FALSE;
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

std::string UserAgent(const std::string& osName, const std::string& osVersion, bool is64Bit) {
    return "Mozilla/5.0(" + osName + " " + osVersion + "; Win" + (is64Bit ? "64;)" : "32;)");
}

std::string AppPlatform() { return "Windows"; }

std::string SdkName() { return "WindowsCPP"; }

bool CreateGuidBytes(std::array<std::uint8_t, 16>& bytes) {
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid))) return false;
    bytes[0] = static_cast<std::uint8_t>(guid.Data1 >> 24);
    bytes[1] = static_cast<std::uint8_t>(guid.Data1 >> 16);
    bytes[2] = static_cast<std::uint8_t>(guid.Data1 >> 8);
    bytes[3] = static_cast<std::uint8_t>(guid.Data1);
    bytes[4] = static_cast<std::uint8_t>(guid.Data2 >> 8);
    bytes[5] = static_cast<std::uint8_t>(guid.Data2);
    bytes[6] = static_cast<std::uint8_t>(guid.Data3 >> 8);
    bytes[7] = static_cast<std::uint8_t>(guid.Data3);
    std::copy(std::begin(guid.Data4), std::end(guid.Data4), bytes.begin() + 8);
    return std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; });
}

std::pair<int, int> PrimaryScreenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

std::pair<std::string, std::string> UserLanguageAndCountry() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) == 0) return {};
    return {LocaleField(name, LOCALE_SISO639LANGNAME), LocaleField(name, LOCALE_SISO3166CTRYNAME)};
}

bool CreateFolderChain(const std::filesystem::path& folder) {
    if (folder.empty()) return false;
    std::filesystem::path current;
    for (const std::filesystem::path& part : folder.lexically_normal()) {
        current /= part;
        // The drive ("C:"), the root separator and a share's root name are there already.
        if (part.empty() || current == current.root_path() || current == current.root_name()) continue;
        if (CreateDirectoryW(current.c_str(), nullptr)) continue;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS || !IsFolder(current)) {
            QLOG(L"tracker folder %s: system error %lu\r\n", current.c_str(),
                 error == ERROR_ALREADY_EXISTS ? static_cast<DWORD>(ERROR_DIRECTORY) : error);
            return false;
        }
    }
    return IsFolder(folder);
}

std::optional<std::filesystem::path> FindFileNoCase(const std::filesystem::path& folder, const std::string& name) {
    if (folder.empty()) return std::nullopt;
    // Windows names are compared without case anyway; the listing still decides between names
    // that differ only beyond ASCII case, exactly as on Linux.
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = (folder / L"*").wstring();
    HANDLE first = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (first == INVALID_HANDLE_VALUE) return std::nullopt;
    const FindHandle search(first);
    const std::string wanted = Utils::AsciiLower(name);
    std::vector<std::string> matches;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        const std::string entryName = Utils::ToUtf8(found.cFileName);
        if (Utils::AsciiLower(entryName) == wanted) matches.push_back(entryName);
    } while (FindNextFileW(search.get(), &found));
    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES) QLOG(L"tracker folder listing: system error %lu\r\n", error);
    if (matches.empty()) return std::nullopt;
    const auto exact = std::find(matches.begin(), matches.end(), name);
    const std::string& chosen = exact != matches.end() ? *exact : *std::min_element(matches.begin(), matches.end());
    return folder / Utils::FromUtf8(chosen);
}

std::filesystem::path ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return std::filesystem::path(path).parent_path();
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

// The user's local application data folder, in its long form and as wide text. Windows 7 is the
// oldest system the programs start on, and it always has this folder: there is no older system
// to give the shared documents folder instead. The long form is kept on purpose: a short (8.3)
// name exists only where the volume makes them (it can be turned off per volume, and then the
// short form is the long one anyway), and a user name outside the ANSI code page would be lost
// on the way through the ANSI path functions, leaving a folder that is not the user's.
std::filesystem::path LocalStateFolder() {
    PWSTR folder = nullptr;
    const ::HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &folder);
    std::filesystem::path path;
    if (SUCCEEDED(result) && folder) path = folder;
    CoTaskMemFree(folder);  // also after a failure, which may still hand out a buffer
    return path;
}

}  // namespace varnel::tracking::platform
