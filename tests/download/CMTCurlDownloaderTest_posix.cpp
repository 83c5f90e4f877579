// The multi-connection downloader's TLS verification: Linux only, where the in-process package
// server can serve TLS.
#include <gtest/gtest.h>

#include <cstdlib>

#include "download/CMTCurlDownloader.h"
#include "tests/download/DownloadTestSupport.h"

using namespace DownloadTest;

namespace {

TEST(CMTCurlDownloaderTls, CMTCurlDownloader_VerifiesThePeer) {
    TempDir ca, root, out;
    ASSERT_TRUE(MakeTestCa(ca.Path()));
    WriteRandomFile(root.File("pkg.bin"), 400000, 9);
    TestServer server(root.Path(), ca.File("server.pem"), ca.File("server.key"));
    ::unsetenv("CURL_CA_BUNDLE");
    ::unsetenv("SSL_CERT_FILE");
    {
        EventLog log;
        CMTCurlDownloader dl(log.Callback(), Wide(server->DigestUrl("pkg.bin")), out.WFile("a.bin"));
        dl.Start();
        ASSERT_TRUE(log.WaitFinal());
        EXPECT_EQ(log.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
        EXPECT_TRUE(server.Gets().empty());
    }
    ::setenv("SSL_CERT_FILE", ca.File("ca.pem").c_str(), 1);
    {
        EventLog log;
        CMTCurlDownloader dl(log.Callback(), Wide(server->DigestUrl("pkg.bin")), out.WFile("b.bin"));
        dl.Start();
        ASSERT_TRUE(log.WaitFinal());
        EXPECT_EQ(log.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
        EXPECT_TRUE(SameContent(root.File("pkg.bin"), out.File("b.bin")));
    }
    ::unsetenv("SSL_CERT_FILE");
}

}  // namespace
