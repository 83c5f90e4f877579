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

bool CopyFileData(Utils::FileHandle& target, int64_t targetOffset, const Utils::FileHandle& source, int64_t sourceOffset, int64_t length) {
    if (!target.IsOpen() || !source.IsOpen() || targetOffset < 0 || sourceOffset < 0 || length < 0) return false;
    const int out = target.Native(), in = source.Native();
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

}  // namespace Download
