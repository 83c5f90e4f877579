// The URL-moniker downloader's bodies on Windows. urlmon offers "gzip, deflate" on its own and
// stores the decoded body, so what the downloader guarantees is the package's exact bytes in the
// file, whatever encoding the server chose, and a body cut short retried, never kept.
#include <gtest/gtest.h>

#include "download/CWinDownloader.h"
#include "tests/download/CWinDownloaderTest.h"
#include "tests/download/DownloadTestSupport.h"

using namespace DownloadTest;
using PackageServer::FaultRule;

namespace {

TEST_F(CWinDownloaderBody, CWinDownloader_BrokenBodyIsRetriedAndNeverKept) {
    // The server sends the body as it is stored (it compresses only when told to), so the
    // planned cut happens on the wire.
    server->AddRule({FaultRule::Action::Drop, 100000, 0, 0, -1, 1});
    CWinDownloader downloader(events.Callback(), Wide(server->FileUrl("pkg.bin")), out.WFile("e.bin"));
    downloader.Start();
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    const auto gets = server.Gets();
    ASSERT_EQ(gets.size(), 2u);
    EXPECT_TRUE(gets[0].cut);
    EXPECT_FALSE(gets[1].cut);
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("e.bin")));
    EXPECT_FALSE(Exists(out.File("e.bin.part")));
}

TEST_F(CWinDownloaderBody, CWinDownloader_CompressedBodyIsStoredAsThePackage) {
    server->SetGzipWhenAsked(true);
    CWinDownloader downloader(events.Callback(), Wide(server->FileUrl("pkg.bin")), out.WFile("g.bin"));
    downloader.Start();
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    const auto gets = server.Gets();
    ASSERT_EQ(gets.size(), 1u);
    // Only a compressed answer proves the decoding: fail loudly if urlmon stops offering gzip.
    EXPECT_NE(gets[0].acceptEncoding.find("gzip"), std::string::npos) << gets[0].acceptEncoding;
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("g.bin")));
}

}  // namespace
