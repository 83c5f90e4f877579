#include "download/FileOps.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "utils/StringUtils.h"

namespace Download {

std::string NarrowPath(const std::wstring& path) {
    if (path.empty()) return {};
    std::string narrow = Utils::WideToMultiByte(path, Utils::kCodePageSystem);
    return narrow.empty() ? Utils::ToUtf8(path) : narrow;
}

File::~File() { Close(); }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

static int OpenRetry(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

File File::OpenAppend(const std::string& path) {
    return File(path.empty() ? -1 : OpenRetry(path, O_RDWR | O_APPEND | O_CREAT));
}

File File::OpenWrite(const std::string& path) {
    return File(path.empty() ? -1 : OpenRetry(path, O_RDWR | O_CREAT));
}

File File::OpenRead(const std::string& path) {
    return File(path.empty() ? -1 : OpenRetry(path, O_RDONLY));
}

int64_t File::Size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool File::WriteAll(const void* data, size_t size) {
    if (fd_ < 0) return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

int64_t File::ReadAt(void* data, size_t size, int64_t offset) const {
    if (fd_ < 0) return -1;
    for (;;) {
        ssize_t n = ::pread(fd_, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

bool File::Close() {
    if (fd_ < 0) return true;
    int fd = Release();
    // Linux releases the descriptor even when close reports EINTR: never close twice.
    return ::close(fd) == 0 || errno == EINTR;
}

int File::Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

int64_t FileSize(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool RemoveFile(const std::string& path) {
    if (path.empty()) return true;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool RenameFile(const std::string& from, const std::string& to) {
    return !from.empty() && !to.empty() && ::rename(from.c_str(), to.c_str()) == 0;
}

bool SameFile(const File& file, const std::string& path) {
    struct stat open {}, named {};
    return file.IsOpen() && ::fstat(file.Fd(), &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

bool TruncateFile(const std::string& path) {
    return !path.empty() && ::truncate(path.c_str(), 0) == 0;
}

namespace {

// Copies [offset, offset + length) of `in` to `out` at outOffset.
bool CopyRange(int out, int64_t outOffset, int in, int64_t offset, int64_t length) {
    bool kernelCopy = true;
    std::vector<char> buffer;
    while (length > 0) {
        if (kernelCopy) {
            loff_t inOff = offset, outOff = outOffset;
            const size_t chunk = static_cast<size_t>(std::min<int64_t>(length, int64_t{1} << 30));
            ssize_t n = ::copy_file_range(in, &inOff, out, &outOff, chunk, 0);
            if (n > 0) {
                offset += n;
                outOffset += n;
                length -= n;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n == 0) return false;  // the source ended early
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP &&
                errno != EBADF)
                return false;
            kernelCopy = false;  // fall through to the portable copy
        }
        if (buffer.empty()) buffer.resize(1 << 20);
        const size_t want = static_cast<size_t>(std::min<int64_t>(length, static_cast<int64_t>(buffer.size())));
        ssize_t got = ::pread(in, buffer.data(), want, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        ssize_t done = 0;
        while (done < got) {
            ssize_t w = ::pwrite(out, buffer.data() + done, static_cast<size_t>(got - done), outOffset + done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return false;
            done += w;
        }
        offset += got;
        outOffset += got;
        length -= got;
    }
    return true;
}

}  // namespace

bool CopyFileData(File& target, int64_t targetOffset, const File& source, int64_t sourceOffset, int64_t length) {
    if (!target.IsOpen() || !source.IsOpen() || targetOffset < 0 || sourceOffset < 0 || length < 0) return false;
    const int out = target.Fd(), in = source.Fd();
    const int64_t end = sourceOffset + length;
    int64_t pos = sourceOffset;
    while (pos < end) {
        // Walk the data extents; a file system without SEEK_DATA reports the whole file as data.
        off_t data = ::lseek(in, pos, SEEK_DATA);
        if (data < 0) {
            if (errno != ENXIO) {
                data = pos;
            } else {
                // Only a hole is left before the end of the file: the source must reach `end`.
                struct stat st {};
                return ::fstat(in, &st) == 0 && st.st_size >= end;
            }
        }
        if (data >= end) break;
        off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0 || hole > end || hole <= data) hole = end;
        if (!CopyRange(out, targetOffset + (data - sourceOffset), in, data, hole - data)) return false;
        pos = hole;
    }
    return true;
}

bool AppendFileData(File& target, int64_t targetSize, const File& source, int64_t length) {
    if (targetSize < 0 || !CopyFileData(target, targetSize, source, 0, length)) return false;
    // Trailing holes (and a sparse source's tail) become the right length without writing zeros.
    if (::ftruncate(target.Fd(), targetSize + length) != 0) return false;
    struct stat st {};
    return ::fstat(target.Fd(), &st) == 0 && st.st_size == targetSize + length;
}

}  // namespace Download
