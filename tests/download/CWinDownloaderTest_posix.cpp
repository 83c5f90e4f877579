// The system-URL downloader's TLS verification (libsoup against a CA bundle named in the
// environment): Linux only, where the in-process package server can serve TLS.
#include <gtest/gtest.h>

#include <cstdlib>

#include "download/CWinDownloader.h"
#include "tests/download/DownloadTestSupport.h"

using namespace DownloadTest;

namespace {

TEST(CWinDownloaderTls, CWinDownloader_VerifiesThePeer) {
    TempDir ca, root, out;
    ASSERT_TRUE(MakeTestCa(ca.Path()));
    WriteRandomFile(root.File("pkg.bin"), 200000, 22);
    TestServer server(root.Path(), ca.File("server.pem"), ca.File("server.key"));
    // Untrusted first: a TLS session resumed from a verified handshake would not prove anything.
    ::unsetenv("CURL_CA_BUNDLE");
    ::unsetenv("SSL_CERT_FILE");
    {
        EventLog log;
        CWinDownloader dl(log.Callback(), Wide(server->FileUrl("pkg.bin")), out.WFile("a.bin"));
        dl.Start();
        ASSERT_TRUE(log.WaitFinal());
        EXPECT_EQ(log.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
        EXPECT_EQ(log.Last().value, static_cast<double>(UrlMoniker::kINET_E_SECURITY_PROBLEM));
        EXPECT_FALSE(Exists(out.File("a.bin")));
    }
    ::setenv("CURL_CA_BUNDLE", ca.File("ca.pem").c_str(), 1);
    {
        EventLog log;
        CWinDownloader dl(log.Callback(), Wide(server->FileUrl("pkg.bin")), out.WFile("b.bin"));
        dl.Start();
        ASSERT_TRUE(log.WaitFinal());
        EXPECT_EQ(log.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
        EXPECT_TRUE(SameContent(root.File("pkg.bin"), out.File("b.bin")));
    }
    ::unsetenv("CURL_CA_BUNDLE");
}

}  // namespace
