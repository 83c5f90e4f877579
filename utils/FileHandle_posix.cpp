#include "utils/FileHandle.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Utils {
namespace {

enum class Create { No, IfMissing, Fresh };

int OpenRetry(const std::string& path, int flags, unsigned mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags, static_cast<mode_t>(mode));
    } while (fd < 0 && errno == EINTR);
    return fd;
}

void Report(FileError* error, int code) {
    if (error) error->code = code;
}

// Opens without following a link at the last component. O_NONBLOCK keeps a FIFO planted at the
// name from blocking the open; it is refused as not regular right after and cleared otherwise.
FileHandle Open(const std::string& path, int access, Create create, unsigned mode, FileError* error) {
    if (path.empty()) {
        Report(error, ENOENT);
        return {};
    }
    const int base = access | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    if (create == Create::Fresh && ::unlink(path.c_str()) != 0 && errno != ENOENT) {
        Report(error, errno);
        return {};
    }
    int fd = -1;
    bool created = false;
    // Another process may create or remove the file between the two opens: a few rounds settle it.
    for (int round = 0; round < 8 && fd < 0; ++round) {
        if (create != Create::No) {
            fd = OpenRetry(path, base | O_CREAT | O_EXCL, mode);
            if (fd >= 0) {
                created = true;
                break;
            }
            if (errno != EEXIST || create == Create::Fresh) {
                Report(error, errno);
                return {};
            }
        }
        fd = OpenRetry(path, base, 0);
        if (fd < 0 && (errno != ENOENT || create == Create::No)) {
            Report(error, errno);
            return {};
        }
    }
    if (fd < 0) {
        Report(error, EAGAIN);
        return {};
    }
    FileHandle file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        Report(error, errno);
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        Report(error, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        return {};
    }
    if (access != O_RDONLY && !created && st.st_uid != ::geteuid()) {
        Report(error, EPERM);  // another user's file is never written into
        return {};
    }
    // The mode asked for, not what the umask left of it.
    if (created && ::fchmod(fd, static_cast<mode_t>(mode)) != 0) {
        Report(error, errno);
        return {};
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        Report(error, errno);
        return {};
    }
    Report(error, 0);
    return file;
}

}  // namespace

FileCause FileError::Cause() const {
    switch (code) {
        case 0: return FileCause::None;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return FileCause::NoSpace;
        case EACCES:
        case EPERM:
        case EROFS: return FileCause::NoPermission;
        case ELOOP: return FileCause::LinkRefused;
        case ENOENT:
        case ENOTDIR: return FileCause::NotFound;
        default: return FileCause::Other;
    }
}

FileHandle::~FileHandle() { Close(); }

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        file_ = other.Release();
    }
    return *this;
}

FileHandle FileHandle::OpenRead(const std::string& path, FileError* error) {
    return Open(path, O_RDONLY, Create::No, 0, error);
}

FileHandle FileHandle::OpenAppend(const std::string& path, unsigned mode, FileError* error) {
    return Open(path, O_RDWR | O_APPEND, Create::IfMissing, mode, error);
}

FileHandle FileHandle::OpenWrite(const std::string& path, unsigned mode, FileError* error) {
    return Open(path, O_RDWR, Create::IfMissing, mode, error);
}

FileHandle FileHandle::CreateFresh(const std::string& path, unsigned mode, FileError* error) {
    return Open(path, O_RDWR, Create::Fresh, mode, error);
}

bool FileHandle::IsOpen() const { return file_ >= 0; }

int64_t FileHandle::Size() const {
    struct stat st {};
    if (file_ < 0 || ::fstat(file_, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

FileError FileHandle::WriteAll(const void* data, size_t size) {
    if (file_ < 0) return {EBADF};
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(file_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return {errno};
        }
        if (n == 0) return {EIO};
        p += n;
        size -= static_cast<size_t>(n);
    }
    return {};
}

int64_t FileHandle::ReadAt(void* data, size_t size, int64_t offset) const {
    if (file_ < 0) return -EBADF;
    for (;;) {
        const ssize_t n = ::pread(file_, data, size, static_cast<off_t>(offset));
        if (n >= 0) return n;
        if (errno != EINTR) return -errno;
    }
}

int64_t FileHandle::Read(void* data, size_t size) {
    if (file_ < 0) return -EBADF;
    for (;;) {
        const ssize_t n = ::read(file_, data, size);
        if (n >= 0) return n;
        if (errno != EINTR) return -errno;
    }
}

FileError FileHandle::Truncate(int64_t size) {
    if (file_ < 0) return {EBADF};
    for (;;) {
        if (::ftruncate(file_, static_cast<off_t>(size)) == 0) return {};
        if (errno != EINTR) return {errno};
    }
}

FileError FileHandle::Close() {
    if (file_ < 0) return {};
    const int fd = Release();
    // Linux releases the descriptor even when close reports EINTR: never close twice.
    if (::close(fd) == 0 || errno == EINTR) return {};
    return {errno};
}

NativeFile FileHandle::Release() {
    const NativeFile file = file_;
    file_ = kNone;
    return file;
}

int64_t FileSize(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

FileError RemoveFile(const std::string& path) {
    if (path.empty() || ::unlink(path.c_str()) == 0 || errno == ENOENT) return {};
    return {errno};
}

FileError RenameFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) return {ENOENT};
    if (::rename(from.c_str(), to.c_str()) == 0) return {};
    return {errno};
}

bool SameFile(const FileHandle& file, const std::string& path) {
    struct stat open {}, named {};
    return file.IsOpen() && ::fstat(file.Native(), &open) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace Utils
