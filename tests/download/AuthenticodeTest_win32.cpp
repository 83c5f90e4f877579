// WinVerifyTrust against programs signed at build time (authenticode/MakeFixtures.cmake) by a
// throw-away certificate authority that the test adds to the machine's trusted roots: the pinned
// signer passes; an unsigned program, one signed by another trusted certificate, one whose
// authority is not trusted and a signed one changed afterwards fail. The roots are the local
// machine's, which the test process may change under wine; on Windows itself the test needs an
// administrator.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "download/Authenticode.h"
#include "download/Hash.h"
#include "download/PackageVerifier.h"
#include "tests/support/TempDir.h"
#include "utils/WindowsApi_win32.h"
#include <wincrypt.h>

namespace {

namespace fs = std::filesystem;

struct StoreCloser {
    void operator()(void* store) const { ::CertCloseStore(static_cast<HCERTSTORE>(store), 0); }
};
using UniqueStore = std::unique_ptr<void, StoreCloser>;

// The registry store behind the machine's trusted roots: wine deletes from the "Root" system
// store (a collection) without error, yet the certificate stays trusted there.
UniqueStore OpenRoots() {
    return UniqueStore(::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
}

fs::path Fixture(const char* name) { return fs::path(AUTHENTICODE_FIXTURES) / name; }

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Thumbprint(const char* derName) {
    const std::string der = ReadAll(Fixture(derName));
    Download::Hash hash(Download::HashAlgorithm::Sha256);
    hash.Update(der.data(), der.size());
    return hash.FinishHex();
}

class AuthenticodeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string root = ReadAll(Fixture("root.der"));
        ASSERT_FALSE(root.empty());
        UniqueStore store = OpenRoots();
        ASSERT_TRUE(store) << ::GetLastError();
        ASSERT_TRUE(::CertAddEncodedCertificateToStore(static_cast<HCERTSTORE>(store.get()), X509_ASN_ENCODING,
                                                       reinterpret_cast<const BYTE*>(root.data()),
                                                       static_cast<DWORD>(root.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                       nullptr))
            << ::GetLastError();
    }
    // The throw-away root leaves the machine's trusted roots with the tests.
    static void TearDownTestSuite() {
        const std::string root = ReadAll(Fixture("root.der"));
        UniqueStore store = OpenRoots();
        PCCERT_CONTEXT added = ::CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(root.data()),
                                                              static_cast<DWORD>(root.size()));
        if (!store || added == nullptr) {
            if (added != nullptr) ::CertFreeCertificateContext(added);
            ADD_FAILURE() << "cannot remove the test root";
            return;
        }
        PCCERT_CONTEXT found = ::CertFindCertificateInStore(static_cast<HCERTSTORE>(store.get()), X509_ASN_ENCODING, 0,
                                                            CERT_FIND_EXISTING, added, nullptr);
        ::CertFreeCertificateContext(added);
        // Deleting frees the context it is given.
        EXPECT_TRUE(found != nullptr && ::CertDeleteCertificateFromStore(found)) << ::GetLastError();
    }

    const std::string signer = Thumbprint("signer.der");
};

TEST_F(AuthenticodeTest, PinnedSignerPassesInEitherCase) {
    ASSERT_EQ(signer.size(), 64u);
    const Download::AuthenticodeVerdict verdict = Download::VerifyAuthenticode(Fixture("signed.exe").wstring(), signer);
    EXPECT_TRUE(verdict.valid) << verdict.reason;
    std::string upper = signer;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(Download::VerifyAuthenticode(Fixture("signed.exe").wstring(), upper).valid);
    // Through the package checks, as the download runs them.
    EXPECT_TRUE(Download::PackageVerifier("", "", signer).Check(L"http://unused/signed.exe", Fixture("signed.exe").wstring()).passed);
}

TEST_F(AuthenticodeTest, UnsignedOtherSignerAndChangedProgramsFail) {
    const Download::AuthenticodeVerdict unsigned_ = Download::VerifyAuthenticode(Fixture("unsigned.exe").wstring(), signer);
    EXPECT_FALSE(unsigned_.valid);
    EXPECT_NE(unsigned_.reason.find("no Authenticode signature"), std::string::npos) << unsigned_.reason;

    // Valid and trusted, but not the pinned certificate.
    const Download::AuthenticodeVerdict other = Download::VerifyAuthenticode(Fixture("other.exe").wstring(), signer);
    EXPECT_FALSE(other.valid);
    EXPECT_NE(other.reason.find(Thumbprint("other.der")), std::string::npos) << other.reason;
    EXPECT_TRUE(Download::VerifyAuthenticode(Fixture("other.exe").wstring(), Thumbprint("other.der")).valid);

    // Pinned, but issued by an authority the machine does not trust.
    const Download::AuthenticodeVerdict stray =
        Download::VerifyAuthenticode(Fixture("stray.exe").wstring(), Thumbprint("stray.der"));
    EXPECT_FALSE(stray.valid) << "a signature from an untrusted authority passed";
    EXPECT_NE(stray.reason.find("trusted root"), std::string::npos) << stray.reason;

    // One byte of the program's code changed after signing.
    testsupport::TempDir tmp;
    std::string bytes = ReadAll(Fixture("signed.exe"));
    ASSERT_GT(bytes.size(), 0x800u);
    bytes[0x600] = static_cast<char>(bytes[0x600] ^ 0x5a);
    std::ofstream(tmp / "changed.exe", std::ios::binary) << bytes;
    const Download::AuthenticodeVerdict changed = Download::VerifyAuthenticode((tmp / "changed.exe").wstring(), signer);
    EXPECT_FALSE(changed.valid) << "a program changed after signing passed";
    EXPECT_NE(changed.reason.find("changed after it was signed"), std::string::npos) << changed.reason;

    const Download::PackageCheck check =
        Download::PackageVerifier("", "", signer).Check(L"http://unused/other.exe", Fixture("other.exe").wstring());
    EXPECT_FALSE(check.passed);
    EXPECT_EQ(check.reason.rfind(L"signature: ", 0), 0u);
}

}  // namespace
