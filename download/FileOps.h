#pragma once
// File helpers of the download engine: an owned descriptor, size / remove / rename with
// honest results, and the hole-preserving append used to join part files. Paths are narrow
// (see NarrowPath). All functions are safe to call from any thread on distinct files.
#include <cstddef>
#include <cstdint>
#include <string>

namespace Download {

// The narrow form of a path: the system code page, or UTF-8 when the path cannot be expressed
// in it (for example a non-ASCII path under the "C" locale).
std::string NarrowPath(const std::wstring& path);

// An owned file descriptor. Moves, never copies; closes on destruction.
class File {
public:
    File() = default;
    explicit File(int fd) : fd_(fd) {}
    ~File();
    File(File&& other) noexcept : fd_(other.Release()) {}
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Read/write, append-only, created when missing (mode 0644 less the umask): the "ab+" mode.
    static File OpenAppend(const std::string& path);
    // Read/write without append, created when missing (used as a copy destination).
    static File OpenWrite(const std::string& path);
    static File OpenRead(const std::string& path);

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // Size of the open file, -1 on failure.
    int64_t Size() const;
    // Writes every byte (retrying short writes and EINTR); false on any error.
    bool WriteAll(const void* data, size_t size);
    // Reads up to `size` bytes at `offset`; the count read, 0 at the end, -1 on error.
    int64_t ReadAt(void* data, size_t size, int64_t offset) const;
    // Closes; false when the system reports an error (a lost write). A closed File returns true.
    bool Close();
    int Release();

private:
    int fd_ = -1;
};

// Size of the file at `path`; -1 when it does not exist or cannot be examined.
int64_t FileSize(const std::string& path);
bool FileExists(const std::string& path);
// Removes the file. True when no file is left at `path` (removed, or there was none).
bool RemoveFile(const std::string& path);
// Renames over an existing target; false on failure (the source is left as it was).
bool RenameFile(const std::string& from, const std::string& to);
// True when `path` names the open file `file` (same device and inode).
bool SameFile(const File& file, const std::string& path);
// Empties a file in place; false on failure.
bool TruncateFile(const std::string& path);

// Copies bytes [sourceOffset, sourceOffset + length) of `source` to `target` at targetOffset, in
// the kernel (copy_file_range) where it can, copying only the data extents so that holes stay
// holes (the caller sets the final size); falls back to read/write. `target` must not be in
// append mode. False on any error or when the source ends early.
bool CopyFileData(File& target, int64_t targetOffset, const File& source, int64_t sourceOffset, int64_t length);

// Appends the first `length` bytes of `source` to `target` at offset `targetSize` (CopyFileData)
// and sets the target's size to targetSize + length. True when all bytes are in place.
bool AppendFileData(File& target, int64_t targetSize, const File& source, int64_t length);

}  // namespace Download
