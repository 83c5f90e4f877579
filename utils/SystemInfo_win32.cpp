#include "utils/SystemInfo.h"

#include <algorithm>
#include <cwchar>
#include <memory>

#include "utils/StringUtils.h"
#include "utils/WindowsApi_win32.h"
#include "utils/SystemFunction_win32.h"
#include "utils/UniqueHandle_win32.h"
#include "utils/WinResource_win32.h"
#include <bcrypt.h>
#include <objbase.h>
#include <lm.h>
#include <wtsapi32.h>

namespace Utils {
namespace {

using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);

struct AlgorithmCloser {
    void operator()(void* h) const { BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashCloser {
    void operator()(void* h) const { BCryptDestroyHash(h); }
};

}  // namespace

std::pair<std::wstring, std::wstring> GetOsVersionName() {
    // The real numbers: GetVersionEx tells a program without a manifest naming the system that
    // it runs on 8.
    const auto get = win::SystemFunction<RtlGetNtVersionNumbersFn>(L"ntdll.dll", "RtlGetNtVersionNumbers");
    if (!get) return {L"Windows", L"XP-"};
    DWORD major = 0, minor = 0, build = 0;
    get(&major, &minor, &build);
    const bool serverR2 = major == 5 && minor == 2 && GetSystemMetrics(SM_SERVERR2) != 0;
    return {L"Windows", WindowsVersionName(major, minor, build & 0xFFFF, serverR2)};
}

bool IsUserAdmin(const std::wstring& userName) {
    LPBYTE raw = nullptr;
    const NET_API_STATUS status = NetUserGetInfo(nullptr, userName.c_str(), 1, &raw);
    const win::UniqueFree<BYTE, NetApiBufferFree> info(raw);
    if (status != NERR_Success || !info) return false;
    return reinterpret_cast<const USER_INFO_1*>(info.get())->usri1_priv == USER_PRIV_ADMIN;
}

bool IsProcessAdmin() {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID raw = nullptr;
    if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                  0, 0, &raw))
        return false;
    const win::UniqueFree<void, FreeSid> administrators(raw);
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators.get(), &member)) return false;
    return member != FALSE;
}

bool GetConsoleUserName(std::wstring& name) {
    const DWORD session = WTSGetActiveConsoleSessionId();
    if (session == 0xFFFFFFFF) return false;  // no one is attached to the console
    LPWSTR raw = nullptr;
    DWORD bytes = 0;
    if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, WTSUserName, &raw, &bytes)) return false;
    const win::UniqueFree<wchar_t, WTSFreeMemory> buffer(raw);
    if (!buffer || buffer.get()[0] == L'\0') return false;  // a console without a logged-on user
    name = buffer.get();
    return true;
}

std::wstring NewGuidString() {
    GUID id{};
    if (FAILED(CoCreateGuid(&id))) return {};
    wchar_t out[33];
    swprintf(out, 33, L"%08lX%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X", static_cast<unsigned long>(id.Data1),
             static_cast<unsigned>(id.Data2), static_cast<unsigned>(id.Data3), id.Data4[0], id.Data4[1], id.Data4[2],
             id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    return out;
}

std::string FileMd5Hex(const std::string& path) {
    if (path.empty()) return {};
    const std::wstring widePath = MultiByteToWide(path, kCodePageSystem);
    if (widePath.empty()) return {};
    UniqueHandle file(CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return {};

    BCRYPT_ALG_HANDLE rawAlgorithm = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&rawAlgorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0))) return {};
    const std::unique_ptr<void, AlgorithmCloser> algorithm(rawAlgorithm);
    BCRYPT_HASH_HANDLE rawHash = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm.get(), &rawHash, nullptr, 0, nullptr, 0, 0))) return {};
    const std::unique_ptr<void, HashCloser> hash(rawHash);

    // Large blocks: the digest is bound by memory bandwidth, not by system calls.
    constexpr DWORD kBlock = 1 << 20;
    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBlock]);
    while (true) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer.get(), kBlock, &got, nullptr)) return {};
        if (got == 0) break;
        if (!BCRYPT_SUCCESS(BCryptHashData(hash.get(), buffer.get(), got, 0))) return {};
    }
    unsigned char digest[16];
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest, sizeof digest, 0))) return {};
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (const unsigned char b : digest) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

}  // namespace Utils
