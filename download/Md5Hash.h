#pragma once
// An incremental MD5 through the platform's crypto library (OpenSSL's EVP on Linux, BCrypt on
// Windows). The download engine only compares digests with the one a package address names; MD5
// is no protection against a forger, only against a damaged or truncated transfer.
//
// Threads: one object belongs to one thread at a time.
#include <cstddef>
#include <memory>
#include <string>

namespace Download {

class Md5Hash {
public:
    Md5Hash();
    ~Md5Hash();
    Md5Hash(const Md5Hash&) = delete;
    Md5Hash& operator=(const Md5Hash&) = delete;

    // False when the crypto library could not set up the hash; every later call then fails.
    bool Ok() const;
    // Adds bytes; false on a library failure (the hash is then unusable).
    bool Update(const void* data, std::size_t size);
    // The digest of everything added, as 32 lower-case hexadecimal digits; "" on a failure. The
    // object cannot be updated afterwards.
    std::string FinishHex();

private:
    struct State;  // the library's context, in the platform's source file
    std::unique_ptr<State> state_;
};

// 16 digest bytes as 32 lower-case hexadecimal digits.
std::string DigestHex(const unsigned char* digest, std::size_t size);

// MD5 of the regular file at `path` (the NarrowPath form, so UTF-8 on Windows, where the
// system code page cannot name every folder a user may have) as 32 lower-case hexadecimal
// digits; "" when the path is empty, names a link or a folder, or cannot be read to its end.
std::string FileMd5Hex(const std::string& path);

}  // namespace Download
