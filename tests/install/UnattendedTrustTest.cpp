// The unattended installer and the package's SHA-256: a digest in the address or given by
// -downloadsha256 must match before the package runs; a mismatch is a download failure (exit 7,
// the reason on standard error) that leaves no package behind.
#include "tests/install/UnattendedHarness.h"

#include "download/Md5Hash.h"

namespace installtest {
namespace {

class UnattendedTrustTest : public UnattendedTest {
protected:
    std::string Sha256() const {
        return Download::FileDigestHex((tmp / "www" / "Quorvex_setup.exe").string(), Download::HashAlgorithm::Sha256);
    }
    std::vector<std::string> Args(const fs::path& folder, const std::string& url) const {
        return {"-silent", "-installdir=" + folder.string(), "-downloadurl=" + url};
    }
};

TEST_F(UnattendedTrustTest, DigestInTheAddressMustMatchInEitherCase) {
    std::string upper = Sha256();
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const Result right = Run(Args(tmp / "right", server->BaseUrl() + "/" + upper + "/Quorvex_setup.exe"));
    EXPECT_EQ(right.exitCode, 0) << right.err;
    EXPECT_TRUE(fs::exists(tmp / "right" / "compressor.exe"));

    const Result wrong = Run(Args(tmp / "wrong", server->BaseUrl() + "/" + std::string(64, 'e') + "/Quorvex_setup.exe"));
    EXPECT_EQ(wrong.exitCode, 7);
    EXPECT_NE(wrong.err.find("sha256: "), std::string::npos) << wrong.err;
    EXPECT_FALSE(fs::exists(tmp / "wrong" / "__Package_Quorvex.exe"));
    EXPECT_FALSE(fs::exists(tmp / "wrong" / "compressor.exe"));
}

TEST_F(UnattendedTrustTest, DigestOptionMustMatch) {
    std::vector<std::string> right = Args(tmp / "right", server->FileUrl("Quorvex_setup.exe"));
    right.push_back("-downloadsha256=" + Sha256());
    const Result installed = Run(right);
    EXPECT_EQ(installed.exitCode, 0) << installed.err;

    std::vector<std::string> wrong = Args(tmp / "wrong", server->FileUrl("Quorvex_setup.exe"));
    wrong.push_back("-downloadsha256=" + std::string(64, 'e'));
    const Result refused = Run(wrong);
    EXPECT_EQ(refused.exitCode, 7);
    EXPECT_NE(refused.err.find("sha256: "), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(tmp / "wrong" / "__Package_Quorvex.exe"));
}

}  // namespace
}  // namespace installtest
