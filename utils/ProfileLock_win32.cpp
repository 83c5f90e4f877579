#include "utils/ProfileLock_win32.h"

#include <cstdint>
#include <cwchar>
#include <string>

#include "utils/Log.h"
#include "utils/ProfileUpdate.h"

namespace Utils {
namespace {

// "Local\Quorvex.Profile.<16 hex digits>": FNV-1a over the upper-cased full path, so every
// spelling of one file (case, "..", "/" or "\") names one mutex.
std::wstring MutexName(const std::filesystem::path& file) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    if (ec) absolute = file;
    std::wstring full = absolute.lexically_normal().make_preferred().native();
    if (!full.empty()) CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    uint64_t hash = 1469598103934665603ull;
    for (const wchar_t c : full) {
        hash ^= static_cast<uint16_t>(c);
        hash *= 1099511628211ull;
    }
    wchar_t hex[17];
    swprintf(hex, 17, L"%016llX", static_cast<unsigned long long>(hash));
    return std::wstring(L"Local\\Quorvex.Profile.") + hex;
}

}  // namespace

ProfileLock::ProfileLock(const std::filesystem::path& file) {
    const std::wstring name = MutexName(file);
    mutex_.Reset(CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex_) {
        QLOG(L"profile lock %s not created code=%ld\r\n", name.c_str(), static_cast<long>(GetLastError()));
        return;
    }
    const DWORD waited = WaitForSingleObject(mutex_.Get(), static_cast<DWORD>(kProfileLockTimeout.count()));
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    if (!held_) QLOG(L"profile lock %s not had (%lu)\r\n", name.c_str(), static_cast<unsigned long>(waited));
}

ProfileLock::~ProfileLock() {
    if (held_) ReleaseMutex(mutex_.Get());
}

}  // namespace Utils
