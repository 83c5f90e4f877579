// The system-URL downloader against the package server (urlmon on Windows; GIO for file: and
// libsoup for http on Linux).
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "download/CWinDownloader.h"
#include "tests/download/CWinDownloaderTest.h"
#include "tests/download/DownloadTestSupport.h"

using namespace DownloadTest;
using PackageServer::FaultRule;
using namespace std::chrono_literals;

namespace {

TEST(CWinDownloaderUnits, CWinDownloader_EscapesEveryByteOutsidePrintableAscii) {
    EXPECT_EQ(CWinDownloader::PrepareUrl(L"http://h:1/a b/\u00e9.exe?x=1&y=%20"),
              L"http://h:1/a+b/%C3%A9.exe?x=1&y=%20");
    EXPECT_EQ(CWinDownloader::PrepareUrl(L"http://h/\t\x7f"), L"http://h/%09%7F");
    EXPECT_EQ(CWinDownloader::PrepareUrl(L"file:///tmp/a b/\u00e9"), L"file:///tmp/a b/\u00e9");
}

TEST(CWinDownloaderUnits, CWinDownloader_ProgressOnlyWithAMaximumAndNotAfterCancel) {
    EventLog log;
    CWinDownloader::CBindCallback bind;
    bind.SetCallback(log.Callback());
    EXPECT_EQ(bind.OnProgress(5, 0, UrlMoniker::BINDSTATUS_DOWNLOADINGDATA, L""), UrlMoniker::kS_OK);
    EXPECT_EQ(bind.OnProgress(1, 4, UrlMoniker::BINDSTATUS_DOWNLOADINGDATA, L""), UrlMoniker::kS_OK);
    const uint64_t big = uint64_t{5} << 30;  // beyond 32 bits
    EXPECT_EQ(bind.OnProgress(big / 2, big, UrlMoniker::BINDSTATUS_DOWNLOADINGDATA, L""), UrlMoniker::kS_OK);
    bind.Cancel();
    EXPECT_EQ(bind.OnProgress(3, 4, UrlMoniker::BINDSTATUS_DOWNLOADINGDATA, L""), UrlMoniker::kE_ABORT);
    EXPECT_EQ(log.ProgressValues(), (std::vector<double>{0.25, 0.5}));
    UrlMoniker::BindInfo info;
    bind.GetBindInfo(nullptr, &info);
    EXPECT_EQ(info.codePage, 65001u);
}

TEST_F(CWinDownloaderTest, CWinDownloader_SuccessWithProgressThroughRedirects) {
    CWinDownloader downloader(events.Callback(), Wide(server->RedirectUrl("pkg.bin", 2)), out.WFile("pkg.bin"));
    downloader.Start();
    downloader.Start();  // only the first start counts
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(events.Last().text, L"URLDownloadToFile");
    EXPECT_EQ(events.Last().value, 0.0);
    const auto progress = events.ProgressValues();
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 1.0);
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("pkg.bin")));
    EXPECT_FALSE(Exists(out.File("pkg.bin.part")));
}

TEST_F(CWinDownloaderTest, CWinDownloader_RequestsTheEscapedAddress) {
    std::filesystem::copy_file(NativePath(dir.File("pkg.bin")), NativePath(dir.File("my+file.bin")));
    std::filesystem::copy_file(NativePath(dir.File("pkg.bin")), NativePath(dir.File("\xc3\xa9.bin")));
    {
        EventLog log;
        CWinDownloader dl(log.Callback(), Wide(server->BaseUrl()) + L"/my file.bin", out.WFile("a.bin"));
        dl.Start();
        ASSERT_TRUE(log.WaitFinal());
        EXPECT_EQ(log.Last().code, DL_CODE_SUCCESS);
    }
    {
        EventLog log;
        CWinDownloader dl(log.Callback(), Wide(server->BaseUrl()) + L"/\u00e9.bin", out.WFile("b.bin"));
        dl.Start();
        ASSERT_TRUE(log.WaitFinal());
        EXPECT_EQ(log.Last().code, DL_CODE_SUCCESS);
    }
    const auto gets = server.Gets();
    ASSERT_EQ(gets.size(), 2u);
    EXPECT_EQ(gets[0].target, "/my+file.bin");
    EXPECT_EQ(gets[1].target, "/%C3%A9.bin");
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("b.bin")));
}

TEST_F(CWinDownloaderTest, CWinDownloader_FileUrlIsCopiedAsIs) {
    CWinDownloader downloader(events.Callback(), Wide(FileUrl(dir.File("pkg.bin"))), out.WFile("c.bin"));
    downloader.Start();
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("c.bin")));
    EXPECT_FALSE(events.ProgressValues().empty());
}

TEST_F(CWinDownloaderTest, CWinDownloader_ThreeFailuresOneSecondApart) {
    CWinDownloader downloader(events.Callback(), Wide(server->FileUrl("missing.bin")), out.WFile("d.bin"));
    const auto begin = std::chrono::steady_clock::now();
    downloader.Start();
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 3s);
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(events.Last().value, static_cast<double>(static_cast<int32_t>(0x80190194u)));  // HTTP 404
    EXPECT_EQ(events.Last().text, L"URLDownloadToFile");
    EXPECT_EQ(server.Gets().size(), 3u);
    EXPECT_FALSE(Exists(out.File("d.bin")));
}

TEST_F(CWinDownloaderTest, CWinDownloader_EmptyTargetAndDestructionWhileStalled) {
    {
        EventLog log;
        CWinDownloader dl(log.Callback(), Wide(server->FileUrl("pkg.bin")), L"");
        dl.Start();
        ASSERT_TRUE(log.WaitFinal());
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(log.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
        EXPECT_EQ(log.Last().value, 1.0);
        EXPECT_TRUE(server->Requests().empty());
    }
    server->AddRule({FaultRule::Action::Stall, 1000, 0, 20000, -1, 1});
    auto dl = std::make_unique<CWinDownloader>(events.Callback(), Wide(server->FileUrl("pkg.bin")), out.WFile("f.bin"));
    dl->Start();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (server.Gets().empty() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
    std::this_thread::sleep_for(300ms);
    const auto begin = std::chrono::steady_clock::now();
    dl.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 3s);
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START}));
    EXPECT_FALSE(Exists(out.File("f.bin")));
    EXPECT_FALSE(Exists(out.File("f.bin.part")));
}

}  // namespace
