#include "download/PackageVerifier.h"

#include "download/Authenticode.h"
#include "download/FileOps.h"
#include "download/Md5Hash.h"
#include "download/PackageSignature.h"
#include "download/SmallFetch.h"
#include "download/UrlDigest.h"
#include "utils/StringUtils.h"

namespace Download {
namespace {

PackageCheck Failed(const std::string& check, const std::string& why) {
    return {false, Utils::FromUtf8(check + ": " + why)};
}

}  // namespace

PackageVerifier::PackageVerifier(std::string expectedSha256, std::string publicKeyHex, std::string signerThumbprintHex)
    : expectedSha256_(std::move(expectedSha256)),
      publicKeyHex_(std::move(publicKeyHex)),
      signerThumbprintHex_(std::move(signerThumbprintHex)) {}

bool PackageVerifier::ChecksAnything(const std::wstring& url) const {
    return !expectedSha256_.empty() || !publicKeyHex_.empty() || !signerThumbprintHex_.empty() ||
           !Sha256FromUrl(Utils::ToUtf8(url)).empty();
}

PackageCheck PackageVerifier::Check(const std::wstring& url, const std::wstring& packagePath) const {
    const std::string path = NarrowPath(packagePath);
    PackageCheck check = CheckSha256(url, path);
    if (check.passed) check = CheckSignature(url, path);
    if (check.passed) check = CheckAuthenticode(packagePath);
    return check;
}

PackageCheck PackageVerifier::CheckSha256(const std::wstring& url, const std::string& path) const {
    const std::string fromUrl = Sha256FromUrl(Utils::ToUtf8(url));
    const std::string configured = NormalizeSha256(expectedSha256_);
    if (!expectedSha256_.empty() && configured.empty())
        return Failed("sha256", "the configured digest is not 64 hexadecimal digits");
    if (fromUrl.empty() && configured.empty()) return {};
    const std::string actual = FileDigestHex(path, HashAlgorithm::Sha256);
    if (actual.empty()) return Failed("sha256", "the package cannot be read");
    if ((!fromUrl.empty() && actual != fromUrl) || (!configured.empty() && actual != configured))
        return Failed("sha256", "the package's digest is " + actual + ", not the one expected");
    return {};
}

PackageCheck PackageVerifier::CheckSignature(const std::wstring& url, const std::string& path) const {
    if (publicKeyHex_.empty()) return {};
    const auto key = ParsePackageKeyHex(publicKeyHex_);
    if (!key) return Failed("signature", "the built-in public key is not 64 hexadecimal digits");
    const SmallFetchResult sig = FetchSmall(SignatureUrl(url), kMaxSignatureFileBytes);
    if (!sig.ok) return Failed("signature", "no .sig file (" + sig.error + ")");
    const SignatureVerdict verdict = VerifyPackageSignature(*key, path, sig.body);
    if (!verdict.valid) return Failed("signature", verdict.reason);
    return {};
}

PackageCheck PackageVerifier::CheckAuthenticode(const std::wstring& packagePath) const {
    if (signerThumbprintHex_.empty()) return {};
    const AuthenticodeVerdict verdict = VerifyAuthenticode(packagePath, signerThumbprintHex_);
    if (!verdict.valid) return Failed("signature", verdict.reason);
    return {};
}

}  // namespace Download
