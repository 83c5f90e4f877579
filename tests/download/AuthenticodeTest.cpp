// A build that names an Authenticode signer refuses, as a signature failure, every package that
// does not carry that signer's valid signature: a plain file here, and on systems without
// Authenticode any file at all (never a silent pass).
#include <gtest/gtest.h>

#include <fstream>

#include "download/PackageVerifier.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kSomeSigner(64, 'c');

TEST(AuthenticodeSigner, PackageWithoutTheSignatureIsASignatureFailure) {
    testsupport::TempDir tmp;
    std::ofstream(tmp / "package.exe", std::ios::binary) << "not a signed program";
    const std::wstring package = (tmp / "package.exe").wstring();

    const Download::PackageVerifier verifier("", "", kSomeSigner);
    EXPECT_TRUE(verifier.ChecksAnything(L"http://unused/package.exe"));
    const Download::PackageCheck check = verifier.Check(L"http://unused/package.exe", package);
    EXPECT_FALSE(check.passed);
    EXPECT_EQ(check.reason.rfind(L"signature: ", 0), 0u);

    // A signer that is not a thumbprint fails too rather than disabling the check.
    EXPECT_FALSE(Download::PackageVerifier("", "", "not-a-thumbprint").Check(L"http://unused/package.exe", package).passed);

    // Without a signer (nor digest nor key) nothing is checked.
    const Download::PackageVerifier none("", "", "");
    EXPECT_FALSE(none.ChecksAnything(L"http://unused/package.exe"));
    EXPECT_TRUE(none.Check(L"http://unused/package.exe", package).passed);
}

}  // namespace
