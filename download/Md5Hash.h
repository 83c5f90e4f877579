#pragma once
// MD5 for the digests package addresses name, and the file digests built on Hash. The download
// engine only compares MD5 digests with the one a package address names; MD5 is no protection
// against a forger, only against a damaged or truncated transfer.
#include <cstddef>
#include <string>
#include <vector>

#include "download/Hash.h"

namespace Download {

class Md5Hash : public Hash {
public:
    Md5Hash() : Hash(HashAlgorithm::Md5) {}
};

// Digest bytes as lower-case hexadecimal digits.
std::string DigestHex(const unsigned char* digest, std::size_t size);

// The digest of the regular file at `path` (the NarrowPath form, so UTF-8 on Windows, where the
// system code page cannot name every folder a user may have) as lower-case hexadecimal digits;
// "" when the path is empty, names a link or a folder, or cannot be read to its end.
std::string FileDigestHex(const std::string& path, HashAlgorithm algorithm);
// The same digest as bytes; empty where FileDigestHex gives "".
std::vector<unsigned char> FileDigest(const std::string& path, HashAlgorithm algorithm);
// FileDigestHex with MD5: 32 digits.
std::string FileMd5Hex(const std::string& path);

}  // namespace Download
