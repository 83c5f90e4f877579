// The trust anchors of the test installer (quorvex-installer-keyed): the public half of the
// tests' own signing key, and no Authenticode signer. Both functions of the build's key object
// are defined here, so that the linker never takes that object too; a function added there and
// not here fails the link rather than mixing two builds' anchors.
#include "download/PackageKey.h"

namespace Download {

std::string BuiltInPackageKeyHex() { return TEST_PACKAGE_PUBKEY; }

std::string BuiltInPackageSignerHex() { return ""; }

}  // namespace Download
