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

std::vector<unsigned char> FileDigest(const std::string& path, HashAlgorithm algorithm) {
    if (path.empty()) return {};
    Utils::FileHandle file = Utils::FileHandle::OpenRead(path);
    if (!file.IsOpen()) return {};
    Hash hash(algorithm);
    constexpr std::size_t kBlock = 1 << 20;
    const std::unique_ptr<char[]> buffer(new char[kBlock]);
    for (;;) {
        const int64_t got = file.Read(buffer.get(), kBlock);
        if (got < 0) return {};
        if (got == 0) break;
        if (!hash.Update(buffer.get(), static_cast<std::size_t>(got))) return {};
    }
    return hash.Finish();
}

std::string FileDigestHex(const std::string& path, HashAlgorithm algorithm) {
    const std::vector<unsigned char> digest = FileDigest(path, algorithm);
    return digest.empty() ? std::string() : DigestHex(digest.data(), digest.size());
}

std::string FileMd5Hex(const std::string& path) { return FileDigestHex(path, HashAlgorithm::Md5); }

}  // namespace Download
