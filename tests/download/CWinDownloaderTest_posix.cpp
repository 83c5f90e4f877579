// The system-URL downloader on Linux: TLS verification (libsoup against a CA bundle named in the
// environment), where the in-process package server can serve TLS, and the body asked for
// without any content encoding (urlmon negotiates one itself: see the Windows twin).
#include <gtest/gtest.h>

#include <cstdlib>

#include "download/CWinDownloader.h"
#include "tests/download/CWinDownloaderTest.h"
#include "tests/download/DownloadTestSupport.h"

using namespace DownloadTest;
using PackageServer::FaultRule;

namespace {

TEST_F(CWinDownloaderBody, CWinDownloader_BrokenBodyIsRetriedAndNeverKept) {
    server->AddRule({FaultRule::Action::Drop, 100000, 0, 0, -1, 1});
    server->SetGzipWhenAsked(true);  // nothing is advertised, so nothing arrives compressed
    CWinDownloader downloader(events.Callback(), Wide(server->FileUrl("pkg.bin")), out.WFile("e.bin"));
    downloader.Start();
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(server.Gets().size(), 2u);
    for (const auto& r : server.Gets()) EXPECT_EQ(r.acceptEncoding, "");
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("e.bin")));
}

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
