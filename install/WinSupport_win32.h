#pragma once
// What the Windows services of the install chain share: owners for handles and for memory the
// system hands out with LocalAlloc, the accounts a privileged installer trusts, and the text of
// a system error. Header-only; include it after the project's own headers.
#include <memory>
#include <string>
#include <vector>

#include "utils/WindowsApi_win32.h"
#include <sddl.h>

namespace InstallWin {

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
// Closes its handle once, on every way out of its scope.
using UniqueHandle = std::unique_ptr<void, HandleCloser>;
// Takes a handle as the system returned it: INVALID_HANDLE_VALUE (what CreateFileW and the
// snapshot functions fail with) becomes an empty owner, like nullptr.
inline UniqueHandle AdoptHandle(HANDLE handle) {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

struct LocalFreer {
    void operator()(void* memory) const noexcept { ::LocalFree(memory); }
};
// Memory the system allocated for the caller with LocalAlloc (security descriptors, ACLs,
// SIDs converted from text).
template <typename T>
using UniqueLocal = std::unique_ptr<T, LocalFreer>;

// The system's text for an error code, without the trailing line break, followed by its number.
inline std::wstring ErrorText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const UniqueLocal<wchar_t> owned(text);
    std::wstring message = length > 0 && text ? std::wstring(text, length) : std::wstring(L"system error");
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message + L" (" + std::to_wstring(code) + L")";
}

// The SID of the user this process runs as, as bytes; empty when the token cannot be read.
inline std::vector<BYTE> CurrentUserSid() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    const UniqueHandle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(raw, TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(raw, TokenUser, buffer.data(), size, &size)) return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    const DWORD length = ::GetLengthSid(sid);
    std::vector<BYTE> result(length);
    if (!::CopySid(length, result.data(), sid)) return {};
    return result;
}

inline bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) { return ::IsWellKnownSid(sid, type) != FALSE; }

// The service account that owns the system's own files ("NT SERVICE\TrustedInstaller").
inline bool IsTrustedInstaller(PSID sid) {
    PSID known = nullptr;
    if (!::ConvertStringSidToSidW(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", &known))
        return false;
    const UniqueLocal<void> owned(known);
    return ::EqualSid(sid, known) != FALSE;
}

// The accounts that control the machine anyway: whatever they can change, a privileged
// installer cannot be protected from.
inline bool IsSystemAccount(PSID sid) {
    return IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinBuiltinAdministratorsSid) ||
           IsTrustedInstaller(sid);
}

inline bool IsSameSid(PSID sid, const std::vector<BYTE>& other) {
    return !other.empty() && ::EqualSid(sid, const_cast<BYTE*>(other.data())) != FALSE;
}

}  // namespace InstallWin
