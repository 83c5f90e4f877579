#include "utils/FileHandle.h"

#include "utils/StringUtils.h"
#include "utils/UniqueHandle_win32.h"

namespace Utils {
namespace {

enum class Create { No, IfMissing, Fresh };

// Errors the system has no number of its own for, in its own number space.
constexpr int kLinkRefused = ERROR_CANT_RESOLVE_FILENAME;
constexpr int kNotRegular = ERROR_BAD_FILE_TYPE;
constexpr DWORD kIsFolder = ERROR_DIRECTORY;  // "the directory name is invalid" for a file operation

// Windows takes '/' and '\' alike; the wide form is what the W functions need.
std::wstring Wide(const std::string& path) { return FromUtf8(path); }

void Report(FileError* error, DWORD code) {
    if (error) error->code = static_cast<int>(code);
}

// Removes whatever file or link stands at `path` (a link to a folder is removed as the link it
// is); a read-only file is made writable first, as a POSIX unlink does not care for the file's
// own mode. ERROR_SUCCESS when nothing is left.
DWORD RemoveName(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD e = ::GetLastError();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : e;
    }
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (!link) return kIsFolder;  // a folder is never removed here
        return ::RemoveDirectoryW(path.c_str()) ? ERROR_SUCCESS : ::GetLastError();
    }
    if (::DeleteFileW(path.c_str())) return ERROR_SUCCESS;
    DWORD e = ::GetLastError();
    if (e == ERROR_ACCESS_DENIED && (attributes & FILE_ATTRIBUTE_READONLY) &&
        ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        if (::DeleteFileW(path.c_str())) return ERROR_SUCCESS;
        e = ::GetLastError();
    }
    return e == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : e;
}

// Opens without following a link at the name: the link itself is opened and refused. Only
// disk files are kept (no folder, device or pipe). Others may read, write, rename or remove the
// file while it is open, as on POSIX, so a writer can still replace it by renaming.
FileHandle Open(const std::string& path, DWORD access, Create create, FileError* error) {
    if (path.empty()) {
        Report(error, ERROR_FILE_NOT_FOUND);
        return {};
    }
    const std::wstring name = Wide(path);
    if (create == Create::Fresh) {
        if (const DWORD e = RemoveName(name); e != ERROR_SUCCESS) {
            Report(error, e);
            return {};
        }
    }
    const DWORD disposition = create == Create::No ? OPEN_EXISTING : create == Create::Fresh ? CREATE_NEW : OPEN_ALWAYS;
    UniqueHandle handle(::CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr));
    if (!handle) {
        DWORD e = ::GetLastError();
        // A folder cannot be opened as a file: say so rather than "access denied".
        const DWORD attributes = ::GetFileAttributesW(name.c_str());
        if (e == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            e = kIsFolder;
        Report(error, e);
        return {};
    }
    if (::GetFileType(handle.Get()) != FILE_TYPE_DISK) {
        Report(error, kNotRegular);
        return {};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle.Get(), &info)) {
        Report(error, ::GetLastError());
        return {};
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        Report(error, kLinkRefused);
        return {};
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        Report(error, kIsFolder);
        return {};
    }
    Report(error, ERROR_SUCCESS);
    return FileHandle(handle.Release());
}

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

}  // namespace

FileCause FileError::Cause() const {
    switch (static_cast<DWORD>(code)) {
        case ERROR_SUCCESS: return FileCause::None;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_NOT_ENOUGH_QUOTA:
        case ERROR_FILE_TOO_LARGE: return FileCause::NoSpace;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_PRIVILEGE_NOT_HELD: return FileCause::NoPermission;
        case ERROR_CANT_RESOLVE_FILENAME:
        case ERROR_CANT_ACCESS_FILE: return FileCause::LinkRefused;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH: return FileCause::NotFound;
        default: return FileCause::Other;
    }
}

FileHandle::~FileHandle() { Close(); }

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        append_ = other.append_;
        file_ = other.Release();
    }
    return *this;
}

FileHandle FileHandle::OpenRead(const std::string& path, FileError* error) {
    return Open(path, GENERIC_READ, Create::No, error);
}

FileHandle FileHandle::OpenAppend(const std::string& path, unsigned, FileError* error) {
    FileHandle file = Open(path, kReadWrite, Create::IfMissing, error);
    file.append_ = file.IsOpen();
    return file;
}

FileHandle FileHandle::OpenWrite(const std::string& path, unsigned, FileError* error) {
    return Open(path, kReadWrite, Create::IfMissing, error);
}

FileHandle FileHandle::CreateFresh(const std::string& path, unsigned, FileError* error) {
    return Open(path, kReadWrite, Create::Fresh, error);
}

bool FileHandle::IsOpen() const { return file_ != kNone && file_ != INVALID_HANDLE_VALUE; }

int64_t FileHandle::Size() const {
    LARGE_INTEGER size{};
    if (!IsOpen() || !::GetFileSizeEx(file_, &size)) return -1;
    return size.QuadPart;
}

FileError FileHandle::WriteAll(const void* data, size_t size) {
    if (!IsOpen()) return {static_cast<int>(ERROR_INVALID_HANDLE)};
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        BOOL ok;
        if (append_) {
            // Both offsets all ones: the system writes at the end of the file as it is then.
            OVERLAPPED at{};
            at.Offset = 0xFFFFFFFF;
            at.OffsetHigh = 0xFFFFFFFF;
            ok = ::WriteFile(file_, p, chunk, &written, &at);
        } else {
            ok = ::WriteFile(file_, p, chunk, &written, nullptr);
        }
        if (!ok) return {static_cast<int>(::GetLastError())};
        if (written == 0) return {static_cast<int>(ERROR_WRITE_FAULT)};
        p += written;
        size -= written;
    }
    return {};
}

int64_t FileHandle::ReadAt(void* data, size_t size, int64_t offset) const {
    if (!IsOpen()) return -static_cast<int64_t>(ERROR_INVALID_HANDLE);
    if (::GetFileType(file_) != FILE_TYPE_DISK) return -static_cast<int64_t>(ERROR_SEEK_ON_DEVICE);
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    DWORD read = 0;
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    if (::ReadFile(file_, data, chunk, &read, &at)) return read;
    const DWORD e = ::GetLastError();
    return e == ERROR_HANDLE_EOF ? 0 : -static_cast<int64_t>(e);
}

int64_t FileHandle::Read(void* data, size_t size) {
    if (!IsOpen()) return -static_cast<int64_t>(ERROR_INVALID_HANDLE);
    DWORD read = 0;
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    if (::ReadFile(file_, data, chunk, &read, nullptr)) return read;
    const DWORD e = ::GetLastError();
    // A pipe whose writer has gone is at its end, as a POSIX read of 0 says.
    return e == ERROR_HANDLE_EOF || e == ERROR_BROKEN_PIPE ? 0 : -static_cast<int64_t>(e);
}

FileError FileHandle::Truncate(int64_t size) {
    if (!IsOpen()) return {static_cast<int>(ERROR_INVALID_HANDLE)};
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    if (!::SetFileInformationByHandle(file_, FileEndOfFileInfo, &end, sizeof end))
        return {static_cast<int>(::GetLastError())};
    return {};
}

FileError FileHandle::Close() {
    if (!IsOpen()) {
        file_ = kNone;
        return {};
    }
    const NativeFile file = Release();
    if (::CloseHandle(file)) return {};
    return {static_cast<int>(::GetLastError())};
}

NativeFile FileHandle::Release() {
    const NativeFile file = file_;
    file_ = kNone;
    append_ = false;
    return file;
}

int64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool PathExists(const std::string& path) {
    return !path.empty() && ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

FileError RemoveFile(const std::string& path) {
    if (path.empty()) return {};
    return {static_cast<int>(RemoveName(Wide(path)))};
}

FileError RenameFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) return {static_cast<int>(ERROR_FILE_NOT_FOUND)};
    // A link at the target is replaced as the name it is; the source is untouched on failure.
    if (::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
    return {static_cast<int>(::GetLastError())};
}

bool SameFile(const FileHandle& file, const std::string& path) {
    if (!file.IsOpen() || path.empty()) return false;
    UniqueHandle named(::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION open{}, there{};
    if (!named || !::GetFileInformationByHandle(file.Native(), &open) ||
        !::GetFileInformationByHandle(named.Get(), &there))
        return false;
    if (there.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    // Wine reports a volume serial of 0 for a handle whose file was renamed: a zero serial
    // leaves the file index alone to decide.
    const bool sameVolume = open.dwVolumeSerialNumber == there.dwVolumeSerialNumber ||
                            open.dwVolumeSerialNumber == 0 || there.dwVolumeSerialNumber == 0;
    return sameVolume && open.nFileIndexHigh == there.nFileIndexHigh && open.nFileIndexLow == there.nFileIndexLow;
}

}  // namespace Utils
