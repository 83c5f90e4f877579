#pragma once
// An incremental digest through the platform's crypto library (OpenSSL's EVP on Linux, BCrypt
// on Windows). MD5 only guards against a damaged or truncated transfer; SHA-256 is what a
// vendor publishes to pin a package; SHA-512 feeds the package signature.
//
// Threads: one object belongs to one thread at a time.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace Download {

enum class HashAlgorithm { Md5, Sha256, Sha512 };

// Digest size in bytes.
constexpr std::size_t DigestBytes(HashAlgorithm algorithm) {
    return algorithm == HashAlgorithm::Md5 ? 16 : algorithm == HashAlgorithm::Sha256 ? 32 : 64;
}

class Hash {
public:
    explicit Hash(HashAlgorithm algorithm);
    ~Hash();
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;

    HashAlgorithm Algorithm() const { return algorithm_; }
    // False when the crypto library could not set up the hash; every later call then fails.
    bool Ok() const;
    // Adds bytes; false on a library failure (the hash is then unusable).
    bool Update(const void* data, std::size_t size);
    // The digest of everything added; empty on a failure. The object cannot be updated
    // afterwards.
    std::vector<unsigned char> Finish();
    // The same as lower-case hexadecimal digits; "" on a failure.
    std::string FinishHex();

private:
    struct State;  // the library's context, in the platform's source file
    HashAlgorithm algorithm_;
    std::unique_ptr<State> state_;
};

}  // namespace Download
