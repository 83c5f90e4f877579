#include "download/Md5Hash.h"

#include <memory>

#include "utils/FileHandle.h"

namespace Download {

std::string DigestHex(const unsigned char* digest, std::size_t size) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0F];
    }
    return hex;
}

std::string FileMd5Hex(const std::string& path) {
    if (path.empty()) return {};
    Utils::FileHandle file = Utils::FileHandle::OpenRead(path);
    if (!file.IsOpen()) return {};
    Md5Hash md5;
    constexpr std::size_t kBlock = 1 << 20;
    const std::unique_ptr<char[]> buffer(new char[kBlock]);
    for (;;) {
        const int64_t got = file.Read(buffer.get(), kBlock);
        if (got < 0) return {};
        if (got == 0) break;
        if (!md5.Update(buffer.get(), static_cast<std::size_t>(got))) return {};
    }
    return md5.FinishHex();
}

}  // namespace Download
