#pragma once
// The package signing key a vendor build carries (the CMake cache variable QV_PACKAGE_PUBKEY:
// an Ed25519 public key as 64 hexadecimal digits, checked when the build is configured). A
// build without one checks no signatures.
#include <string>

namespace Download {

// The key's 64 hexadecimal digits; "" in a build without a key.
std::string BuiltInPackageKeyHex();

}  // namespace Download
