#pragma once
// An Ed25519 key pair that signs installer packages in the format the installer checks
// (Download::PackageSignedMessage: a fixed prefix and the package's SHA-512; the .sig is the 64
// raw signature bytes). The private key is kept as its 32-byte seed, written as 64 hexadecimal
// digits.
#include <optional>
#include <string>

class PackageSigner {
public:
    // A fresh key pair from the system's random source; nothing when the library fails.
    static std::optional<PackageSigner> Generate();
    // The key pair of a seed given as 64 hexadecimal digits; nothing for any other text.
    static std::optional<PackageSigner> FromSeedHex(const std::string& seedHex);

    std::string SeedHex() const { return seedHex_; }
    // The public key as QV_PACKAGE_PUBKEY takes it: 64 lower-case hexadecimal digits.
    std::string PublicKeyHex() const { return publicHex_; }
    // The 64-byte signature of the file at `path`; "" when it cannot be read or signed.
    std::string SignFile(const std::string& path) const;

private:
    PackageSigner(std::string seedHex, std::string publicHex)
        : seedHex_(std::move(seedHex)), publicHex_(std::move(publicHex)) {}

    std::string seedHex_;
    std::string publicHex_;
};
