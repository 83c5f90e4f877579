// The single-connection downloader's events and retry budget against the package server.
#include <gtest/gtest.h>

#include <thread>

#include "download/CCurlDownloader.h"
#include "download/RetryBudget.h"
#include "tests/download/DownloadTestSupport.h"

using namespace DownloadTest;
using PackageServer::FaultRule;
using namespace std::chrono_literals;

namespace {

class CCurlDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override { WriteRandomFile(dir.File("pkg.bin"), 2 << 20, 11); }
    TempDir dir;
    TempDir out;
    TestServer server{dir.Path()};
    EventLog events;
};

TEST(RetryBudget, RetryBudget_PartialFileCostsOneOtherCodesTwo) {
    RetryBudget mixed(CCurlDownloader::kRetryBudget);
    EXPECT_TRUE(mixed.Charge(18));   // 5
    EXPECT_TRUE(mixed.Charge(7));    // 3
    EXPECT_TRUE(mixed.Charge(18));   // 2
    EXPECT_FALSE(mixed.Charge(7));   // 0: the fourth attempt was the last
    RetryBudget partial(CCurlDownloader::kRetryBudget);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(partial.Charge(18));
    EXPECT_FALSE(partial.Charge(18));
    RetryBudget general(CCurlDownloader::kRetryBudget);
    EXPECT_TRUE(general.Charge(28));
    EXPECT_TRUE(general.Charge(-998));
    EXPECT_FALSE(general.Charge(22));
}

TEST_F(CCurlDownloaderTest, CCurlDownloader_SuccessAfterRedirectChain) {
    CCurlDownloader downloader(events.Callback(), Wide(server->RedirectUrl("pkg.bin", 3)), out.WFile("pkg.bin"));
    downloader.Start();
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    const Event first = events.Events().front();
    EXPECT_EQ(first.value, 1.0);
    EXPECT_EQ(first.text, L"");
    EXPECT_EQ(events.Last().value, 0.0);
    EXPECT_EQ(events.Last().text, L"LibCurl");
    for (double v : events.ProgressValues()) {
        EXPECT_GE(v, 0.0);
        EXPECT_LE(v, 1.0);
    }
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("pkg.bin")));
    EXPECT_FALSE(Exists(out.File("pkg.bin.part")));
}

TEST_F(CCurlDownloaderTest, CCurlDownloader_EmptyTargetFailsAndEndsTheRun) {
    CCurlDownloader downloader(events.Callback(), Wide(server->FileUrl("pkg.bin")), L"");
    downloader.Start();
    ASSERT_TRUE(events.WaitFinal());
    std::this_thread::sleep_for(700ms);  // a run that went on would have retried by now
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(events.Last().value, 1.0);
    EXPECT_EQ(events.Last().text, L"");
    EXPECT_TRUE(server->Requests().empty());
}

TEST_F(CCurlDownloaderTest, CCurlDownloader_PartialFileFailuresGetSixAttemptsThenRestartResumes) {
    server->AddRule({FaultRule::Action::Drop, 1000});
    CCurlDownloader downloader(events.Callback(), Wide(server->FileUrl("pkg.bin")), out.WFile("pkg.bin"));
    TraceCapture trace;
    downloader.Start();
    ASSERT_TRUE(events.WaitFinal());
    const std::string log = trace.Finish();
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(events.Last().value, 18.0);
    EXPECT_EQ(events.Last().text, L"LibCurl");
    EXPECT_EQ(server.Gets().size(), 6u);
    EXPECT_EQ(CountTraceLines(log, "CCurlDownloader::dlThreadFun", "CurlDownLoader Code=18"), 5);
    EXPECT_EQ(SizeOf(out.File("pkg.bin.part")), 6000);  // every attempt resumed the last
    EXPECT_FALSE(Exists(out.File("pkg.bin")));

    // A new start begins with 1001 and a fresh budget, and resumes the kept partial file.
    server->ClearFaults();
    downloader.Start();
    ASSERT_TRUE(events.WaitFor({DL_CODE_SUCCESS}));
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL, DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(server.Gets().back().range, "bytes=6000-");
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("pkg.bin")));
}

TEST_F(CCurlDownloaderTest, CCurlDownloader_MixedFailuresSpendTheBudgetInFourAttempts) {
    // 18, 22, 18, 22: budget 6 -> 5 -> 3 -> 2 -> 0.
    server->AddRule({FaultRule::Action::Drop, 100, 0, 0, -1, 1});
    server->AddRule({FaultRule::Action::Status, 0, 500, 0, -1, 1});
    server->AddRule({FaultRule::Action::Drop, 100, 0, 0, -1, 1});
    server->AddRule({FaultRule::Action::Status, 0, 500, 0, -1, 1});
    CCurlDownloader downloader(events.Callback(), Wide(server->FileUrl("pkg.bin")), out.WFile("pkg.bin"));
    TraceCapture trace;
    const auto begin = std::chrono::steady_clock::now();
    downloader.Start();
    ASSERT_TRUE(events.WaitFinal());
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    const std::string log = trace.Finish();
    EXPECT_EQ(events.Last().code, DL_CODE_FAIL);
    EXPECT_EQ(events.Last().value, 22.0);
    EXPECT_EQ(server.Gets().size(), 4u);
    const size_t a = log.find("CurlDownLoader Code=18"), b = log.find("CurlDownLoader Code=22"),
                 c = log.find("CurlDownLoader Code=18", a + 1);
    ASSERT_NE(c, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_GE(elapsed, 1500ms);  // three pauses of 500 ms
}

TEST_F(CCurlDownloaderTest, CCurlDownloader_RefusedConnectionsAreGeneralFailures) {
    // 22, then the server is gone: 7, 7 (or 22, 22, 7 when the second attempt comes before the
    // server is stopped). Three general failures end the run with the last code.
    server->AddRule({FaultRule::Action::Status, 0, 500, 0, -1, 2});
    CCurlDownloader downloader(events.Callback(), Wide(server->FileUrl("pkg.bin")), out.WFile("pkg.bin"));
    downloader.Start();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (server.Gets().empty() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(2ms);
    server->Stop();
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(events.Last().value, static_cast<double>(CURLE_COULDNT_CONNECT));
}

TEST_F(CCurlDownloaderTest, CCurlDownloader_StalledTransferFailsWith28AndResumes) {
    // A stall right after the headers: libcurl averages its speed over the last seconds, so a
    // stall after a burst of bytes would take that much longer to notice.
    server->AddRule({FaultRule::Action::Stall, 0, 0, 6000, -1, 1});
    CCurlDownloader downloader(events.Callback(), Wide(server->FileUrl("pkg.bin")), out.WFile("pkg.bin"));
    downloader.SetStallSeconds(1);
    TraceCapture trace;
    downloader.Start();
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(CountOf(trace.Finish(), "CurlDownLoader Code=28"), 1);
    EXPECT_EQ(events.Last().code, DL_CODE_SUCCESS);
    EXPECT_EQ(server.Gets().size(), 2u);
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("pkg.bin")));
}

TEST_F(CCurlDownloaderTest, CCurlDownloader_DestructionCancelsARunningTransfer) {
    server->AddRule({FaultRule::Action::Stall, 5000, 0, 20000, -1, 1});
    auto downloader = std::make_unique<CCurlDownloader>(events.Callback(), Wide(server->FileUrl("pkg.bin")),
                                                        out.WFile("pkg.bin"));
    downloader->Start();
    ASSERT_TRUE(events.WaitFor({DL_CODE_START}));
    std::this_thread::sleep_for(1500ms);
    const auto begin = std::chrono::steady_clock::now();
    downloader.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 5s);
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START}));
    EXPECT_FALSE(Exists(out.File("pkg.bin.part")));
}

}  // namespace
