// The orchestrator's package checks with every downloader: a package that fails its SHA-256 or
// its signature is deleted and reported as a download failure (1004, value 0, the reason as
// text) before anything could start it; one that passes installs as usual.
#include <gtest/gtest.h>

#include <fstream>

#include "download/Md5Hash.h"
#include "install/CDownloadInstaller.h"
#include "install/InstallCodes.h"
#include "tests/install/EventRecorder.h"
#include "tests/install/ProcessTableLock.h"
#include "tests/install/SamplePackage.h"
#include "tests/support/TempDir.h"
#include "tools/package-server/PackageServer.h"
#include "tools/sign/PackageSigner.h"
#include "utils/StringUtils.h"

using installtest::EventRecorder;
using installtest::W;

// The program's private HOME and XDG folders come from DownloadInstallerTest.cpp's environment.
namespace {

class PackageTrustChainTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(tmp / "www");
        std::filesystem::copy_file(SAMPLE_PACKAGE, Package());
        server = std::make_unique<PackageServer::Server>(PackageServer::Options{(tmp / "www").string()});
        ASSERT_TRUE(server->Start());
        signer = PackageSigner::Generate();
        ASSERT_TRUE(signer);
    }
    void TearDown() override { server->Stop(); }

    // The multi-connection downloader is given the MD5 address form, as a vendor serves it.
    std::string Url(int type) const {
        return type == 3 ? server->DigestUrl("Quorvex_setup.exe") : server->FileUrl("Quorvex_setup.exe");
    }
    std::filesystem::path Package() const { return tmp / "www" / "Quorvex_setup.exe"; }
    void ServeSignature(const std::string& bytes) const {
        std::ofstream(tmp / "www" / "Quorvex_setup.exe.sig", std::ios::binary | std::ios::trunc) << bytes;
    }

    // One attempt with downloader `type`; the events it raised.
    std::vector<installtest::Event> Run(int type, const std::string& url, const std::string& key,
                                        const std::wstring& sha256, const std::string& folderName) {
        EventRecorder events;
        const auto folder = tmp / folderName;
        {
            CDownloadInstaller installer(events.Callback(), L"", L"", L"", L"en-US", true, true, true);
            installer.SetInstallParams(Utils::FromUtf8(url), L"", W(folder), L"en-US", false, false, false, false);
            installer.SetStageOptions(type, L"");
            installer.SetPackageKey(key);
            installer.SetExpectedSha256(sha256);
            installer.Start();
            EXPECT_TRUE(events.WaitForAny({INSTALL_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL}, 60));
        }
        packageLeft = std::filesystem::exists(folder / "__Package_Quorvex.exe");
        return events.Only(DL_CODE_FAIL).empty() ? std::vector<installtest::Event>{} : events.Only(DL_CODE_FAIL);
    }

    installtest::ProcessTableLock processTable;
    testsupport::TempDir tmp;
    std::unique_ptr<PackageServer::Server> server;
    std::optional<PackageSigner> signer;
    bool packageLeft = false;
};

TEST_F(PackageTrustChainTest, SignedPackageInstallsAndABadSignatureNeverRuns) {
    const std::string good = signer->SignFile(Package().string());
    for (int type : {1, 3, 2}) {
        SCOPED_TRACE(type);
        const std::string url = Url(type);
        ServeSignature(good);
        EXPECT_TRUE(Run(type, url, signer->PublicKeyHex(), L"", "good" + std::to_string(type)).empty());
        EXPECT_TRUE(std::filesystem::exists(tmp / ("good" + std::to_string(type)) / "compressor.exe"));

        std::filesystem::remove(tmp / "www" / "Quorvex_setup.exe.sig");
        const auto failures = Run(type, url, signer->PublicKeyHex(), L"", "nosig" + std::to_string(type));
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].value, 0.0);
        EXPECT_EQ(failures[0].text.rfind(L"signature: no .sig file (HTTP 404)", 0), 0u) << Utils::ToUtf8(failures[0].text);
        EXPECT_FALSE(packageLeft);
        // The package never ran: it would have made the product folder's files.
        EXPECT_FALSE(std::filesystem::exists(tmp / ("nosig" + std::to_string(type)) / "compressor.exe"));
    }
}

TEST_F(PackageTrustChainTest, Sha256IsCheckedForEveryDownloader) {
    const std::string actual = Download::FileDigestHex(Package().string(), Download::HashAlgorithm::Sha256);
    for (int type : {1, 3, 2}) {
        SCOPED_TRACE(type);
        const std::string url = Url(type);
        EXPECT_TRUE(Run(type, url, "", Utils::FromUtf8(actual), "right" + std::to_string(type)).empty());
        const auto failures = Run(type, url, "", std::wstring(64, L'0'), "wrong" + std::to_string(type));
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].text.rfind(L"sha256: ", 0), 0u);
        EXPECT_FALSE(packageLeft);
        EXPECT_FALSE(std::filesystem::exists(tmp / ("wrong" + std::to_string(type)) / "compressor.exe"));
    }
}

}  // namespace
