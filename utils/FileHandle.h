#pragma once
// The one owner of an open file, and the file-system helpers that go with it.
//
// Every open refuses a symbolic link (any reparse point) at the last path component, so a link
// planted at a name the installer writes can never redirect the write (the installer often runs
// with full rights). Only regular files are opened. Where files carry a mode (POSIX), a file the
// installer creates gets exactly the mode asked for, whatever the process umask, and an existing
// file is opened for writing only when the effective user owns it; on Windows a new file takes
// the access rules its folder hands down, and the mode arguments are not used.
//
// A file stays open to others for reading, writing, renaming and removal, on every system.
//
// Failures carry the system error number (errno, or GetLastError on Windows); FileError::Cause()
// sorts it into the causes that failure reports tell apart (no space, no permission, a refused
// link, ...).
//
// Threads: a FileHandle belongs to one thread at a time (moves hand it over); the free functions
// may be called from any thread.
#include <cstddef>
#include <cstdint>
#include <string>

namespace Utils {

#if defined(_WIN32)
using NativeFile = void*;  // a file HANDLE
#else
using NativeFile = int;  // a file descriptor
#endif

enum class FileCause {
    None,          // success
    NoSpace,       // the disk (or the user's quota) is full
    NoPermission,  // access denied, read-only file system, or a file of another user
    LinkRefused,   // a symbolic link stands at the name
    NotFound,
    Other,
};

// The outcome of a file operation: 0 or the system error number. Tests true on success.
struct FileError {
    int code = 0;

    explicit operator bool() const { return code == 0; }
    bool Ok() const { return code == 0; }
    FileCause Cause() const;
};

class FileHandle {
public:
    static constexpr unsigned kModeShared = 0644;   // readable by everyone, written by the owner
    static constexpr unsigned kModePrivate = 0600;  // the owner only

    FileHandle() = default;
    // Adopts an open descriptor or handle (closed on destruction).
    explicit FileHandle(NativeFile file) : file_(file) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : append_(other.append_), file_(other.Release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Read-only. `error` (optional) receives the outcome.
    static FileHandle OpenRead(const std::string& path, FileError* error = nullptr);
    // Read/write, every write appended at the end; created with `mode` when missing.
    static FileHandle OpenAppend(const std::string& path, unsigned mode = kModeShared, FileError* error = nullptr);
    // Read/write at explicit offsets, the content kept; created with `mode` when missing.
    static FileHandle OpenWrite(const std::string& path, unsigned mode = kModeShared, FileError* error = nullptr);
    // A new, empty file: whatever stood at the name (a file or a link, never a folder) is
    // removed first, so nothing of an earlier file or of a planted link survives.
    static FileHandle CreateFresh(const std::string& path, unsigned mode = kModeShared, FileError* error = nullptr);

    bool IsOpen() const;
    NativeFile Native() const { return file_; }
    // Size of the open file; -1 on failure.
    int64_t Size() const;
    // Writes every byte (short writes and interruptions are retried).
    FileError WriteAll(const void* data, size_t size);
    // Reads up to `size` bytes at `offset`: the count read, 0 at the end, or minus the error
    // number. (On Windows the read also moves the handle's own position.)
    int64_t ReadAt(void* data, size_t size, int64_t offset) const;
    // Reads up to `size` bytes at the current position (pipes too); results as ReadAt's.
    int64_t Read(void* data, size_t size);
    // Sets the size (cutting or extending with a hole).
    FileError Truncate(int64_t size);
    // Closes; the error reports a lost write. Closing a closed handle succeeds.
    FileError Close();
    NativeFile Release();

private:
    // Opened by OpenAppend: every write goes to the end (on POSIX the descriptor's own flag
    // does this and this stays unused).
    bool append_ = false;
    NativeFile file_ = kNone;
#if defined(_WIN32)
    static constexpr NativeFile kNone = nullptr;
#else
    static constexpr NativeFile kNone = -1;
#endif
};

// Size of the file at `path` (links not followed); -1 when it does not exist or cannot be examined.
int64_t FileSize(const std::string& path);
// True when anything (a file, a folder, a link, even a dangling one) stands at `path`.
bool PathExists(const std::string& path);
// Removes the file or link at `path`. Succeeds when nothing is left (there may have been nothing).
FileError RemoveFile(const std::string& path);
// Renames over an existing target (a link at the target is replaced, not followed). On failure
// the source is left as it was.
FileError RenameFile(const std::string& from, const std::string& to);
// True when `path` still names the open file (same device and inode; a link there does not count).
bool SameFile(const FileHandle& file, const std::string& path);

}  // namespace Utils
