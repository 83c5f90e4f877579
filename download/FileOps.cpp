#include "download/FileOps.h"

namespace Download {

bool AppendFileData(Utils::FileHandle& target, int64_t targetSize, const Utils::FileHandle& source, int64_t length) {
    if (targetSize < 0 || !CopyFileData(target, targetSize, source, 0, length)) return false;
    // Trailing holes (and a sparse source's tail) become the right length without writing zeros.
    return target.Truncate(targetSize + length).Ok() && target.Size() == targetSize + length;
}

}  // namespace Download
