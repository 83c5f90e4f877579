#include "download/PackageKey.h"

// Defined for this file alone, so that a new key rebuilds one file.
#ifndef QV_PACKAGE_PUBKEY
#define QV_PACKAGE_PUBKEY ""
#endif
#ifndef QV_PACKAGE_SIGNER
#define QV_PACKAGE_SIGNER ""
#endif

namespace Download {

std::string BuiltInPackageKeyHex() { return QV_PACKAGE_PUBKEY; }

std::string BuiltInPackageSignerHex() { return QV_PACKAGE_SIGNER; }

}  // namespace Download
