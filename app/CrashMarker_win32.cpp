#include "app/CrashMarker.h"

#include <cstring>
#include <cwchar>

#include "utils/Folders.h"
#include "utils/Log.h"
#include "utils/SpecialFolders.h"
#include "utils/WindowsApi_win32.h"

namespace {

constexpr char kPrefix[] = "exception 0x";
constexpr size_t kPrefixLength = sizeof kPrefix - 1;

// Owns a file HANDLE for one scope (no allocation: usable inside the crash handler).
class ScopedFile {
public:
    explicit ScopedFile(HANDLE handle) : handle_(handle) {}
    ~ScopedFile() {
        if (Valid()) ::CloseHandle(handle_);
    }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace

std::filesystem::path CrashMarker::DefaultPath() {
    return Utils::StateHome() / "VarNelSoft" / "Quorvex_Installer.crash";
}

CrashMarker::CrashMarker(const std::filesystem::path& path) {
    const std::wstring& text = path.native();
    if (text.size() < sizeof path_ / sizeof path_[0]) std::wmemcpy(path_, text.c_str(), text.size() + 1);
}

bool CrashMarker::Prepare() const {
    if (!path_[0]) return false;
    return Utils::CreateFolders(Path().parent_path(), 0700);
}

void CrashMarker::Write(int crashCode) const noexcept {
    if (!path_[0]) return;
    const DWORD savedError = ::GetLastError();
    char text[32];
    size_t length = 0;
    for (char c : kPrefix)
        if (c) text[length++] = c;
    const unsigned value = static_cast<unsigned>(crashCode);
    for (int shift = 28; shift >= 0; shift -= 4) text[length++] = "0123456789ABCDEF"[(value >> shift) & 0xF];
    text[length++] = '\n';
    // A link (reparse point) in the marker's place is opened as itself, never followed.
    ScopedFile file(::CreateFileW(path_, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file.Valid()) {
        DWORD written = 0;
        (void)::WriteFile(file.Get(), text, static_cast<DWORD>(length), &written, nullptr);
    }
    ::SetLastError(savedError);
}

std::optional<int> CrashMarker::Take() const {
    if (!path_[0]) return std::nullopt;
    char text[32] = {};
    DWORD got = 0;
    {
        ScopedFile file(::CreateFileW(path_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file.Valid()) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
                QLOG(L"crash marker %s unreadable, error %lu\r\n", path_, static_cast<unsigned long>(error));
            return std::nullopt;
        }
        if (!::ReadFile(file.Get(), text, sizeof text - 1, &got, nullptr)) got = 0;
    }
    if (!::DeleteFileW(path_))
        QLOG(L"crash marker %s not removed, error %lu\r\n", path_, static_cast<unsigned long>(::GetLastError()));
    unsigned code = 0;
    if (got > kPrefixLength && std::strncmp(text, kPrefix, kPrefixLength) == 0) {
        int digits = 0;
        for (const char* p = text + kPrefixLength; digits < 8; ++p, ++digits) {
            const char c = *p;
            const int nibble = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (nibble < 0) break;
            code = code << 4 | static_cast<unsigned>(nibble);
        }
    }
    return static_cast<int>(code);
}
