#pragma once
// The trust anchors a vendor build carries, both fixed when the build is configured:
//  - the package signing key (the CMake cache variable QV_PACKAGE_PUBKEY: an Ed25519 public key
//    as 64 hexadecimal digits); a build without one checks no signatures;
//  - on Windows, the Authenticode signer packages must come from (QV_PACKAGE_SIGNER: the
//    SHA-256 thumbprint of the signing certificate as 64 hexadecimal digits); a build without
//    one, and every build for another system, checks no Authenticode signature.
// Both live in one small object so that a test executable can link its own in their place.
#include <string>

namespace Download {

// The key's 64 hexadecimal digits; "" in a build without a key.
std::string BuiltInPackageKeyHex();
// The signer's thumbprint as 64 hexadecimal digits; "" in a build without one.
std::string BuiltInPackageSignerHex();

}  // namespace Download
