// What a package must pass before it may run: SHA-256 digests (the address's and the
// configured one), and detached Ed25519 signatures made by the vendor's signer, fetched from
// the package server beside the package.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <fstream>
#include <optional>
#include <string>

#include "download/Hash.h"
#include "download/Md5Hash.h"
#include "download/PackageSignature.h"
#include "download/PackageVerifier.h"
#include "download/StreamingDigest.h"
#include "download/UrlDigest.h"
#include "tests/download/DownloadTestSupport.h"
#include "tools/sign/PackageSigner.h"
#include "utils/StringUtils.h"

using namespace DownloadTest;

namespace {

constexpr char kAbcSha256[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

std::string HashHex(Download::HashAlgorithm algorithm, const std::string& data) {
    Download::Hash hash(algorithm);
    EXPECT_TRUE(hash.Ok());
    // In two pieces, to cross the update boundary.
    EXPECT_TRUE(hash.Update(data.data(), data.size() / 2));
    EXPECT_TRUE(hash.Update(data.data() + data.size() / 2, data.size() - data.size() / 2));
    return hash.FinishHex();
}

TEST(PackageDigest, Sha256AndSha512KnownDigests) {
    EXPECT_EQ(HashHex(Download::HashAlgorithm::Sha256, "abc"), kAbcSha256);
    EXPECT_EQ(HashHex(Download::HashAlgorithm::Sha256, ""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(HashHex(Download::HashAlgorithm::Sha512, "abc").substr(0, 32), "ddaf35a193617abacc417349ae204131");
    EXPECT_EQ(HashHex(Download::HashAlgorithm::Md5, "abc"), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(PackageDigest, StreamingDigestTakesTheChosenAlgorithm) {
    TempDir dir;
    std::filesystem::create_directories(NativePath(dir.Path()));
    std::ofstream(NativePath(dir.File("abc")), std::ios::binary) << "abc";
    const std::atomic<int64_t> available{3};
    Download::StreamingDigest digest({{dir.File("abc"), 3, &available}}, Download::HashAlgorithm::Sha256);
    EXPECT_EQ(digest.Finish(), kAbcSha256);
    EXPECT_EQ(Download::FileDigestHex(dir.File("abc"), Download::HashAlgorithm::Sha256), kAbcSha256);
}

TEST(PackageDigest, Sha256FromAddressOrSettingAcceptsEitherCase) {
    std::string upper = kAbcSha256;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(Download::NormalizeSha256(upper), kAbcSha256);
    EXPECT_EQ(Download::Sha256FromUrl("http://h/files/" + upper + "/p.exe"), kAbcSha256);
    // Not a SHA-256: a 32-digit MD5, 63 or 65 digits, a non-hex digit.
    EXPECT_EQ(Download::Sha256FromUrl("http://h/0123456789abcdef0123456789abcdef/p.exe"), "");
    EXPECT_EQ(Download::NormalizeSha256(std::string(kAbcSha256).substr(1)), "");
    EXPECT_EQ(Download::NormalizeSha256(std::string(kAbcSha256) + "0"), "");
    EXPECT_EQ(Download::NormalizeSha256("g" + std::string(kAbcSha256).substr(1)), "");
}

TEST(PackageSignature, AddressesAndKeys) {
    EXPECT_EQ(Download::SignatureUrl(L"http://h/p.exe"), L"http://h/p.exe.sig");
    EXPECT_EQ(Download::SignatureUrl(L"http://h/p.exe?token=a/b#x"), L"http://h/p.exe.sig?token=a/b#x");
    const auto key = Download::ParsePackageKeyHex(std::string(62, '0') + "Ff");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->back(), 0xFF);
    EXPECT_FALSE(Download::ParsePackageKeyHex(std::string(63, '0')));
    EXPECT_FALSE(Download::ParsePackageKeyHex(std::string(63, '0') + "x"));
}

class PackageTrust : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(NativePath(www.Path()));
        WriteRandomFile(www.File("p.exe"), 300000, 7);
        WriteRandomFile(www.File("other.exe"), 1000, 8);
        signer = PackageSigner::Generate();
        ASSERT_TRUE(signer);
        // The downloaded copy the verifier checks; the server's copy only matters for the .sig.
        std::filesystem::create_directories(NativePath(local.Path()));
        std::filesystem::copy_file(NativePath(www.File("p.exe")), NativePath(local.File("p.exe")));
    }

    void Serve(const std::string& name, const std::string& bytes) const {
        std::ofstream(NativePath(www.File(name)), std::ios::binary | std::ios::trunc) << bytes;
    }
    Download::PackageCheck Check(const std::string& expectedSha256 = "") {
        const Download::PackageVerifier verifier(expectedSha256, signer->PublicKeyHex());
        return verifier.Check(Wide(server->FileUrl("p.exe")), local.WFile("p.exe"));
    }

    TempDir www;
    TempDir local;
    TestServer server{www.Path()};
    std::optional<PackageSigner> signer;
};

TEST_F(PackageTrust, SignedPackagePassesAndTheKeyMustMatch) {
    const std::string signature = signer->SignFile(www.File("p.exe"));
    ASSERT_EQ(signature.size(), Download::kSignatureBytes);
    Serve("p.exe.sig", signature);
    const Download::PackageCheck check = Check();
    EXPECT_TRUE(check.passed) << Utils::ToUtf8(check.reason);
    // The same signature under another vendor's key.
    const auto stranger = PackageSigner::Generate();
    const Download::PackageVerifier foreign("", stranger->PublicKeyHex());
    EXPECT_FALSE(foreign.Check(Wide(server->FileUrl("p.exe")), local.WFile("p.exe")).passed);
    // A seed gives back its own public key (what "qv-sign pubkey" prints).
    EXPECT_EQ(PackageSigner::FromSeedHex(signer->SeedHex())->PublicKeyHex(), signer->PublicKeyHex());
}

TEST_F(PackageTrust, EveryBadSignatureFailsWithItsReason) {
    const std::string good = signer->SignFile(www.File("p.exe"));
    const struct {
        const char* name;
        std::string served;  // "" serves no .sig at all (404)
        const char* reason;
    } cases[] = {
        {"missing", "", "HTTP 404"},
        {"other file's", signer->SignFile(www.File("other.exe")), "does not match"},
        {"truncated", good.substr(0, 63), "63 bytes"},
        {"html page", "<html><body>Not here</body></html>", "bytes, not a 64-byte raw signature"},
        {"base64 text", "c2lnbmF0dXJlIGluIGJhc2U2NCBpcyBub3QgdGhlIGZvcm1hdCB3ZSB0YWtlLi4uLi4uLi4uLi4uLi4uLi4K", "bytes"},
        {"oversized", std::string(Download::kMaxSignatureFileBytes + 1, 'x'), "larger than 4096"},
        {"flipped bit", std::string(good).replace(10, 1, 1, static_cast<char>(good[10] ^ 1)), "does not match"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(NativePath(www.File("p.exe.sig")));
        if (!c.served.empty()) Serve("p.exe.sig", c.served);
        const Download::PackageCheck check = Check();
        EXPECT_FALSE(check.passed);
        const std::string reason = Utils::ToUtf8(check.reason);
        EXPECT_EQ(reason.rfind("signature: ", 0), 0u) << reason;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
}

TEST_F(PackageTrust, PackageChangedAfterSigningFails) {
    Serve("p.exe.sig", signer->SignFile(www.File("p.exe")));
    {
        std::fstream file(NativePath(local.File("p.exe")), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(150000);
        file.put('\x5a');
    }
    EXPECT_FALSE(Check().passed);
}

TEST_F(PackageTrust, Sha256FromSettingOrAddressMustMatch) {
    const std::string actual = Download::FileDigestHex(local.File("p.exe"), Download::HashAlgorithm::Sha256);
    std::string upper = actual;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const Download::PackageVerifier unsigned_(upper, "");
    EXPECT_TRUE(unsigned_.Check(L"http://unused/p.exe", local.WFile("p.exe")).passed);
    const Download::PackageVerifier wrong(std::string(64, 'a'), "");
    const Download::PackageCheck check = wrong.Check(L"http://unused/p.exe", local.WFile("p.exe"));
    EXPECT_FALSE(check.passed);
    EXPECT_EQ(Utils::ToUtf8(check.reason).rfind("sha256: ", 0), 0u);
    // A malformed setting refuses the package instead of leaving it unchecked.
    EXPECT_FALSE(Download::PackageVerifier("abc", "").Check(L"http://unused/p.exe", local.WFile("p.exe")).passed);
    // The address's digest, alone and against a setting that disagrees.
    const Download::PackageVerifier none("", "");
    EXPECT_TRUE(none.Check(Wide("http://h/" + upper + "/p.exe"), local.WFile("p.exe")).passed);
    EXPECT_FALSE(none.Check(Wide("http://h/" + std::string(64, 'b') + "/p.exe"), local.WFile("p.exe")).passed);
    EXPECT_FALSE(wrong.Check(Wide("http://h/" + actual + "/p.exe"), local.WFile("p.exe")).passed);
    EXPECT_FALSE(none.ChecksAnything(L"http://h/p.exe"));
}

}  // namespace
