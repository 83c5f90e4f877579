// Profile writes on Windows: the file's lock (a named mutex, see ProfileLock) around a read,
// the change and an atomic replace of the whole file.
#include "utils/ProfileUpdate.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "utils/Log.h"
#include "utils/ProfileFile.h"
#include "utils/ProfileLock_win32.h"
#include "utils/ProfileUpdatePlatform.h"
#include "utils/WindowsApi_win32.h"
#include "utils/UniqueHandle_win32.h"

namespace Utils {
namespace {

// A reader of another program (the system's profile reader included) may hold the file open
// without delete sharing for a moment; the replace waits that long for it.
constexpr std::chrono::milliseconds kReplaceRetryFor{2000};

bool IsRetryable(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_UNABLE_TO_REMOVE_REPLACED || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

// The temporary file's name beside the target: hidden by its leading dot, unique by process,
// thread and time.
std::filesystem::path TemporaryBeside(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(L".");
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return folder / (L"." + file.filename().native() + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                     std::to_wstring(GetCurrentThreadId()) + L"." + std::to_wstring(ticks));
}

bool WriteWhole(const std::filesystem::path& tmp, const std::string& data) {
    UniqueHandle file(CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    size_t done = 0;
    while (done < data.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file.Get(), data.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return FlushFileBuffers(file.Get()) != 0;
}

// Puts `tmp` in the place of `target`: an existing target keeps its attributes and access
// rules (ReplaceFileW), a new one takes the folder's.
bool ReplaceWith(const std::filesystem::path& tmp, const std::filesystem::path& target) {
    const auto deadline = std::chrono::steady_clock::now() + kReplaceRetryFor;
    while (true) {
        const bool exists = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
        const BOOL ok = exists ? ReplaceFileW(target.c_str(), tmp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                              nullptr, nullptr)
                               : MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        if (ok) return true;
        const DWORD error = GetLastError();
        // A target that appeared or vanished since the check: simply try again.
        const bool raced = error == ERROR_FILE_NOT_FOUND || error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
        if ((!IsRetryable(error) && !raced) || std::chrono::steady_clock::now() >= deadline) {
            QLOG(L"profile replace of %s failed code=%ld\r\n", target.c_str(), static_cast<long>(error));
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

namespace detail {

// Windows has no per-file owner rule like Linux's for links: the file's access rules decide
// whether a write through a link may happen, and the system enforces them.
ProfilePathKind ExamineProfilePath(const std::filesystem::path& path, bool) {
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    if (ec && status.type() != std::filesystem::file_type::not_found) return ProfilePathKind::Unusable;
    return status.type() == std::filesystem::file_type::symlink ? ProfilePathKind::Link : ProfilePathKind::Target;
}

}  // namespace detail

bool UpdateProfileFile(const std::filesystem::path& file, const std::function<bool(ProfileFile&)>& change,
                       unsigned newFileMode) {
    const auto target = ResolveProfileTarget(file);
    if (!target) return false;
    ProfileLock lock(*target);
    if (!lock.Held()) return false;

    std::error_code ec;
    const auto status = std::filesystem::status(*target, ec);
    if (ec && status.type() != std::filesystem::file_type::not_found) return false;
    ProfileFile profile;
    if (status.type() != std::filesystem::file_type::not_found) {
        if (status.type() != std::filesystem::file_type::regular) return false;
        std::ifstream in(*target, std::ios::binary);
        if (!in) return false;
        std::ostringstream bytes;
        bytes << in.rdbuf();
        if (in.bad()) return false;
        profile = ProfileFile::FromFileBytes(bytes.str());
    }
    if (!change(profile)) return false;
    return profile.Save(*target, newFileMode);
}

// `mode` has no meaning on Windows: a new file takes the access rules of its folder (a user's
// own folders are private to the user), an existing one keeps its own.
bool ProfileFile::Save(const std::filesystem::path& path, unsigned) const {
    const auto target = ResolveProfileTarget(path);
    if (!target) return false;
    const std::filesystem::path tmp = TemporaryBeside(*target);
    if (!WriteWhole(tmp, ToFileBytes()) || !ReplaceWith(tmp, *target)) {
        DeleteFileW(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace Utils
