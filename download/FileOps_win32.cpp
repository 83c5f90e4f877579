#include "download/FileOps.h"

#include <algorithm>
#include <vector>

#include "utils/StringUtils.h"
#include "utils/WindowsApi_win32.h"

#include <winioctl.h>

namespace Download {

std::string NarrowPath(const std::wstring& path) { return Utils::ToUtf8(path); }

namespace {

// One positioned transfer of at most `size` bytes. The handles may have been opened for
// overlapped I/O or not: a pending request is waited for either way.
bool Positioned(bool write, HANDLE file, void* data, DWORD size, int64_t offset, DWORD& done) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    done = 0;
    const BOOL ok = write ? WriteFile(file, data, size, &done, &at) : ReadFile(file, data, size, &done, &at);
    if (ok) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) return GetOverlappedResult(file, &at, &done, TRUE) != 0;
    if (!write && error == ERROR_HANDLE_EOF) {
        done = 0;
        return true;
    }
    return false;
}

bool CopyRange(HANDLE out, int64_t outOffset, HANDLE in, int64_t offset, int64_t length, std::vector<char>& buffer) {
    if (buffer.empty()) buffer.resize(1 << 20);
    while (length > 0) {
        const DWORD want = static_cast<DWORD>(std::min<int64_t>(length, static_cast<int64_t>(buffer.size())));
        DWORD got = 0;
        if (!Positioned(false, in, buffer.data(), want, offset, got)) return false;
        if (got == 0) return false;  // the source ended early
        DWORD written = 0;
        while (written < got) {
            DWORD n = 0;
            if (!Positioned(true, out, buffer.data() + written, got - written, outOffset + written, n) || n == 0)
                return false;
            written += n;
        }
        offset += got;
        outOffset += got;
        length -= got;
    }
    return true;
}

bool IsSparse(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(file, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_SPARSE_FILE);
}

// The allocated ranges of a sparse file inside [offset, offset + length), in order. False when
// the file system cannot tell; the caller then copies the whole range.
bool AllocatedRanges(HANDLE file, int64_t offset, int64_t length, std::vector<FILE_ALLOCATED_RANGE_BUFFER>& ranges) {
    ranges.clear();
    FILE_ALLOCATED_RANGE_BUFFER query{};
    query.FileOffset.QuadPart = offset;
    query.Length.QuadPart = length;
    std::vector<FILE_ALLOCATED_RANGE_BUFFER> chunk(64);
    for (;;) {
        DWORD bytes = 0;
        const BOOL ok = DeviceIoControl(file, FSCTL_QUERY_ALLOCATED_RANGES, &query, sizeof query, chunk.data(),
                                        static_cast<DWORD>(chunk.size() * sizeof(chunk[0])), &bytes, nullptr);
        const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        if (!ok && error != ERROR_MORE_DATA) return false;
        const size_t count = bytes / sizeof(chunk[0]);
        ranges.insert(ranges.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(count));
        if (ok) return true;
        if (count == 0) return false;  // no progress: do not loop forever
        // Ask again from the end of the last range reported.
        const FILE_ALLOCATED_RANGE_BUFFER& last = ranges.back();
        const int64_t next = last.FileOffset.QuadPart + last.Length.QuadPart;
        query.Length.QuadPart = offset + length - next;
        query.FileOffset.QuadPart = next;
        if (query.Length.QuadPart <= 0) return true;
    }
}

}  // namespace

bool CopyFileData(Utils::FileHandle& target, int64_t targetOffset, const Utils::FileHandle& source, int64_t sourceOffset, int64_t length) {
    if (!target.IsOpen() || !source.IsOpen() || targetOffset < 0 || sourceOffset < 0 || length < 0) return false;
    if (length == 0) return true;
    HANDLE out = static_cast<HANDLE>(target.Native());
    HANDLE in = static_cast<HANDLE>(source.Native());
    std::vector<char> buffer;
    std::vector<FILE_ALLOCATED_RANGE_BUFFER> ranges;
    if (!IsSparse(in) || !AllocatedRanges(in, sourceOffset, length, ranges))
        return CopyRange(out, targetOffset, in, sourceOffset, length, buffer);

    // Holes of a sparse source stay holes only in a sparse target. A target that cannot be made
    // sparse still ends with the right bytes: the system fills what is skipped with zeros.
    DWORD ignored = 0;
    const bool sparseTarget = DeviceIoControl(out, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr) != 0;
    if (!sparseTarget) return CopyRange(out, targetOffset, in, sourceOffset, length, buffer);
    const int64_t end = sourceOffset + length;
    for (const FILE_ALLOCATED_RANGE_BUFFER& range : ranges) {
        const int64_t from = std::max<int64_t>(range.FileOffset.QuadPart, sourceOffset);
        const int64_t to = std::min<int64_t>(range.FileOffset.QuadPart + range.Length.QuadPart, end);
        if (to <= from) continue;
        if (!CopyRange(out, targetOffset + (from - sourceOffset), in, from, to - from, buffer)) return false;
    }
    // A trailing hole still counts only when the source reaches the end of the range.
    LARGE_INTEGER size{};
    return GetFileSizeEx(in, &size) && size.QuadPart >= end;
}

}  // namespace Download
