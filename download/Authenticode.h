#pragma once
// The Authenticode signature a Windows package carries, checked against the one signer a vendor
// build pins (QV_PACKAGE_SIGNER: the SHA-256 thumbprint of the signing certificate). The
// signature must be valid, its certificate chain must end at a root the machine trusts, and the
// certificate that signed the package must be exactly the pinned one. Revocation is not looked
// up: the pin already names one certificate, a vendor replaces a compromised one by shipping an
// installer with a new pin, and an installer must not stall on, or be refused by, a revocation
// server that a firewall or a captive network keeps out of reach.
//
// Systems without Authenticode refuse every package when a signer is asked for, rather than
// passing it unchecked.
//
// Threads: any thread; each call is independent (reads the whole package).
#include <string>

namespace Download {

struct AuthenticodeVerdict {
    bool valid = false;
    // Why not, in words for the download's failure text.
    std::string reason;
};

// Checks the package at `packagePath` (a native path) against `signerThumbprintHex`, 64
// hexadecimal digits in either case.
AuthenticodeVerdict VerifyAuthenticode(const std::wstring& packagePath, const std::string& signerThumbprintHex);

}  // namespace Download
