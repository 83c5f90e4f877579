// The unattended installer built with a package signing key, against the package server that
// serves the package and its ".sig": a package signed with the matching key installs; a missing
// signature, one of another file and one made with another key are download failures (exit 7,
// "signature: ..." on standard error) that leave no package file behind and start nothing.
#include "tests/install/UnattendedHarness.h"

#include <fstream>

#include "tools/sign/PackageSigner.h"

namespace installtest {
namespace {

class UnattendedKeyedTest : public UnattendedTest {
protected:
    void SetUp() override {
        UnattendedTest::SetUp();
        signer = PackageSigner::FromSeedHex(TEST_PACKAGE_SEED);
        ASSERT_TRUE(signer);
    }
    fs::path Package() const { return tmp / "www" / "Quorvex_setup.exe"; }
    void ServeSignature(const std::string& bytes) const {
        std::ofstream(tmp / "www" / "Quorvex_setup.exe.sig", std::ios::binary | std::ios::trunc) << bytes;
    }
    void ExpectRefused(const char* name) {
        SCOPED_TRACE(name);
        const fs::path folder = tmp / name;
        const Result refused = Install(folder);
        EXPECT_EQ(refused.exitCode, 7) << refused.err;
        EXPECT_NE(refused.err.find("signature: "), std::string::npos) << refused.err;
        EXPECT_TRUE(PackageLeftovers(folder).empty());
        EXPECT_FALSE(fs::exists(folder / "compressor.exe"));
        EXPECT_EQ(refused.out.find("installed: "), std::string::npos) << refused.out;
    }

    std::optional<PackageSigner> signer;
};

TEST_F(UnattendedKeyedTest, SignedPackageInstalls) {
    const std::string signature = signer->SignFile(Package().string());
    ASSERT_EQ(signature.size(), 64u);
    ServeSignature(signature);
    const fs::path folder = tmp / "signed";
    const Result installed = Install(folder);
    EXPECT_EQ(installed.exitCode, 0) << installed.err;
    EXPECT_NE(installed.out.find("installed: " + folder.string()), std::string::npos) << installed.out;
    EXPECT_TRUE(fs::exists(folder / "compressor.exe"));
    // The signature was fetched from beside the package.
    bool fetchedSignature = false;
    for (const auto& request : server->Requests())
        fetchedSignature |= request.method == "GET" && request.target.ends_with("/Quorvex_setup.exe.sig");
    EXPECT_TRUE(fetchedSignature);
}

TEST_F(UnattendedKeyedTest, PackageWithoutAValidSignatureNeverRuns) {
    ExpectRefused("missing");

    const fs::path other = tmp / "other.bin";
    std::ofstream(other, std::ios::binary) << "not the package";
    ServeSignature(signer->SignFile(other.string()));
    ExpectRefused("other-file");

    const auto stranger = PackageSigner::Generate();
    ASSERT_TRUE(stranger);
    ServeSignature(stranger->SignFile(Package().string()));
    ExpectRefused("other-key");

    std::string damaged = signer->SignFile(Package().string());
    damaged[10] = static_cast<char>(damaged[10] ^ 0x01);
    ServeSignature(damaged);
    ExpectRefused("damaged");
}

}  // namespace
}  // namespace installtest
