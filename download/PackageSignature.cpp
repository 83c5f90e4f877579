#include "download/PackageSignature.h"

#include <memory>
#include <openssl/err.h>
#include <openssl/evp.h>

#include "download/Hash.h"
#include "download/Md5Hash.h"
#include "utils/FileHandle.h"

namespace Download {
namespace {

constexpr char kMessagePrefix[] = "QVPKG-ED25519-SHA512";  // the terminating zero is signed too

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct PkeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct MdCtxDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

std::optional<std::vector<unsigned char>> ParsePackageKeyHex(const std::string& hex) {
    if (hex.size() != kPackageKeyBytes * 2) return std::nullopt;
    std::vector<unsigned char> key(kPackageKeyBytes);
    for (std::size_t i = 0; i < key.size(); ++i) {
        const int high = HexValue(hex[2 * i]);
        const int low = HexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        key[i] = static_cast<unsigned char>(high << 4 | low);
    }
    return key;
}

std::wstring SignatureUrl(const std::wstring& packageUrl) {
    const std::size_t end = packageUrl.find_first_of(L"?#");
    if (end == std::wstring::npos) return packageUrl + L".sig";
    return packageUrl.substr(0, end) + L".sig" + packageUrl.substr(end);
}

std::vector<unsigned char> PackageSignedMessage(const std::string& path) {
    const std::vector<unsigned char> digest = FileDigest(path, HashAlgorithm::Sha512);
    if (digest.size() != DigestBytes(HashAlgorithm::Sha512)) return {};
    std::vector<unsigned char> message(kMessagePrefix, kMessagePrefix + sizeof kMessagePrefix);
    message.insert(message.end(), digest.begin(), digest.end());
    return message;
}

SignatureVerdict VerifyPackageSignature(const std::vector<unsigned char>& publicKey, const std::string& path,
                                        const std::string& signature) {
    if (publicKey.size() != kPackageKeyBytes) return {false, "the built-in public key is not 32 bytes"};
    if (signature.size() != kSignatureBytes)
        return {false, "the .sig file holds " + std::to_string(signature.size()) + " bytes, not a 64-byte raw signature"};
    const std::vector<unsigned char> message = PackageSignedMessage(path);
    if (message.empty()) return {false, "the package cannot be read"};
    const std::unique_ptr<EVP_PKEY, PkeyDeleter> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, publicKey.data(), publicKey.size()));
    const std::unique_ptr<EVP_MD_CTX, MdCtxDeleter> context(EVP_MD_CTX_new());
    if (!key || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return {false, "the crypto library cannot check Ed25519 signatures"};
    const int verdict =
        EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                         message.data(), message.size());
    if (verdict != 1) {
        ERR_clear_error();  // a refused signature leaves its reasons on this thread's queue
        return {false, "the package does not match its signature"};
    }
    return {true, {}};
}

}  // namespace Download
