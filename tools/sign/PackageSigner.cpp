#include "tools/sign/PackageSigner.h"

#include <memory>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <vector>

#include "download/Md5Hash.h"
#include "download/PackageSignature.h"

namespace {

struct PkeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyDeleter>;
struct MdCtxDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

// The Ed25519 key of a 32-byte seed; none on a library failure.
Pkey KeyFromSeed(const std::vector<unsigned char>& seed) {
    return Pkey(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed.data(), seed.size()));
}


}  // namespace

std::optional<PackageSigner> PackageSigner::Generate() {
    std::vector<unsigned char> seed(Download::kPackageKeyBytes);
    if (RAND_bytes(seed.data(), static_cast<int>(seed.size())) != 1) return std::nullopt;
    return FromSeedHex(Download::DigestHex(seed.data(), seed.size()));
}

std::optional<PackageSigner> PackageSigner::FromSeedHex(const std::string& seedHex) {
    // A seed has the same shape as a public key: 32 bytes as 64 digits.
    const auto seed = Download::ParsePackageKeyHex(seedHex);
    if (!seed) return std::nullopt;
    const Pkey key = KeyFromSeed(*seed);
    if (!key) return std::nullopt;
    std::vector<unsigned char> publicKey(Download::kPackageKeyBytes);
    size_t size = publicKey.size();
    if (EVP_PKEY_get_raw_public_key(key.get(), publicKey.data(), &size) != 1 || size != publicKey.size())
        return std::nullopt;
    return PackageSigner(Download::DigestHex(seed->data(), seed->size()),
                         Download::DigestHex(publicKey.data(), publicKey.size()));
}

std::string PackageSigner::SignFile(const std::string& path) const {
    const std::vector<unsigned char> message = Download::PackageSignedMessage(path);
    if (message.empty()) return {};
    const Pkey key = KeyFromSeed(*Download::ParsePackageKeyHex(seedHex_));
    const std::unique_ptr<EVP_MD_CTX, MdCtxDeleter> context(EVP_MD_CTX_new());
    if (!key || !context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) return {};
    std::string signature(Download::kSignatureBytes, '\0');
    size_t size = signature.size();
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &size, message.data(),
                       message.size()) != 1 ||
        size != Download::kSignatureBytes)
        return {};
    return signature;
}
