#pragma once
// File helpers of the download engine: narrow paths and the hole-preserving append used to join
// part files. Files are opened through Utils::FileHandle. All functions are safe to call from
// any thread on distinct files.
#include <cstddef>
#include <cstdint>
#include <string>

#include "utils/FileHandle.h"

namespace Download {

// The narrow form of a path, as Utils::FileHandle and the other file helpers take it. On Linux
// the system code page, or UTF-8 when the path cannot be expressed in it (for example a non-ASCII
// path under the "C" locale). On Windows always UTF-8: the helpers turn it back into UTF-16 for
// the wide file API, so no path is lost to the ANSI code page.
std::string NarrowPath(const std::wstring& path);

// Copies bytes [sourceOffset, sourceOffset + length) of `source` to `target` at targetOffset,
// copying only the source's data extents so that holes stay holes (the caller sets the final
// size): in the kernel where it can (copy_file_range on Linux), else by positioned reads and
// writes. A file system that cannot report extents has its whole range copied. `target` must
// not be in append mode. False on any error or when the source ends early.
bool CopyFileData(Utils::FileHandle& target, int64_t targetOffset, const Utils::FileHandle& source, int64_t sourceOffset, int64_t length);

// Appends the first `length` bytes of `source` to `target` at offset `targetSize` (CopyFileData)
// and sets the target's size to targetSize + length. True when all bytes are in place.
bool AppendFileData(Utils::FileHandle& target, int64_t targetSize, const Utils::FileHandle& source, int64_t length);

}  // namespace Download
