#pragma once
// Detached package signatures. A vendor build names an Ed25519 public key; the package at
// "<URL>" then comes with "<URL>.sig" beside it, and a package whose signature is missing or
// wrong never runs.
//
// Format (what tools/sign writes): the .sig file holds exactly the 64 raw bytes of an Ed25519
// signature (no text, no base64, no header). The signed message is the 21 bytes
// "QVPKG-ED25519-SHA512" plus a zero byte, followed by the 64-byte SHA-512 of the package file:
// Ed25519 needs its whole message at once, and signing the package's digest lets a package of
// any size be checked in one streaming read instead of being held in memory. The prefix keeps
// such a signature from ever standing for a plain 64-byte file.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace Download {

inline constexpr std::size_t kPackageKeyBytes = 32;
inline constexpr std::size_t kSignatureBytes = 64;
// A .sig answer longer than this is refused unread (an HTML page, a wrong file).
inline constexpr std::size_t kMaxSignatureFileBytes = 4096;

// 64 hexadecimal digits of either case as 32 key bytes; nothing for any other text.
std::optional<std::vector<unsigned char>> ParsePackageKeyHex(const std::string& hex);

// The address of a package's signature: ".sig" appended to the path, before any query or
// fragment ("http://h/p.exe?x=1" gives "http://h/p.exe.sig?x=1").
std::wstring SignatureUrl(const std::wstring& packageUrl);

// The message a package signature covers, for the package file at `path` (NarrowPath form);
// empty when the file cannot be read to its end.
std::vector<unsigned char> PackageSignedMessage(const std::string& path);

struct SignatureVerdict {
    bool valid = false;
    std::string reason;  // why not, for the failure text; empty when valid
};

// Checks `signature` (the .sig file's bytes) over the package at `path` with the 32-byte
// Ed25519 `publicKey`.
SignatureVerdict VerifyPackageSignature(const std::vector<unsigned char>& publicKey, const std::string& path,
                                        const std::string& signature);

}  // namespace Download
