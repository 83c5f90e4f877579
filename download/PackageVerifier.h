#pragma once
// The checks a downloaded package passes before it may run, for every downloader alike:
//  - SHA-256: against the digest the package address names ("/<64 hex digits>/<file>") and
//    the one the settings give (DownloadSha256); each that is given must match. A configured
//    digest that is not 64 hexadecimal digits fails the check rather than disabling it.
//  - signature: with a public key, "<package address>.sig" is fetched (bounded, see
//    SmallFetch) and must be a valid signature of the file (format in PackageSignature.h). A
//    malformed key fails every package.
//  - Authenticode (a check of the "signature" kind): with an expected signer, the package's own
//    signature must be valid and made by that certificate (Authenticode.h). Systems without
//    Authenticode refuse every package then.
// Without a digest, a key and a signer nothing is checked and nothing is fetched.
//
// Threads: const after construction; Check() may run on any thread (it blocks on the network
// and reads the whole package).
#include <string>

#include "download/PackageKey.h"

namespace Download {

struct PackageCheck {
    bool passed = true;
    // Why not: "sha256: ..." or "signature: ...", for the download's failure text.
    std::wstring reason;
};

class PackageVerifier {
public:
    // `expectedSha256`: the configured digest ("" for none); `publicKeyHex`: the signing key
    // ("" for none); `signerThumbprintHex`: the Authenticode signer ("" for none).
    PackageVerifier(std::string expectedSha256, std::string publicKeyHex,
                    std::string signerThumbprintHex = BuiltInPackageSignerHex());

    bool ChecksAnything(const std::wstring& url) const;
    // Checks the package at `packagePath` that was downloaded from `url`.
    PackageCheck Check(const std::wstring& url, const std::wstring& packagePath) const;

private:
    PackageCheck CheckSha256(const std::wstring& url, const std::string& path) const;
    PackageCheck CheckSignature(const std::wstring& url, const std::string& path) const;
    PackageCheck CheckAuthenticode(const std::wstring& packagePath) const;

    std::string expectedSha256_;
    std::string publicKeyHex_;
    std::string signerThumbprintHex_;
};

}  // namespace Download
