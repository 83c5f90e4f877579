// The multi-connection downloader against the package server: part boundaries, the digest taken
// from the address, the one restart and the reuse of part files, and the faults that must never
// end in a wrong file.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <tuple>

#include "download/CMTCurlDownloader.h"
#include "tests/download/DownloadTestSupport.h"

using namespace DownloadTest;
using PackageServer::FaultRule;
using namespace std::chrono_literals;

namespace {

constexpr int64_t kOnePartMax = 20971519;
constexpr int64_t kTwoPartsMin = 20971520;
constexpr int64_t kOddTwoParts = 30000001;

std::vector<std::string> SortedRanges(const std::vector<PackageServer::RequestRecord>& gets) {
    std::vector<std::string> ranges;
    for (const auto& r : gets) ranges.push_back(r.range);
    std::sort(ranges.begin(), ranges.end());
    return ranges;
}

class CMTCurlDownloaderTest : public ::testing::Test {
protected:
    // ctest runs every test in a process of its own: each makes only the files it serves.
    static void SetUpTestSuite() { files = new TempDir(); }
    static void Need(const std::string& name) {
        static const std::vector<std::tuple<std::string, int64_t, uint32_t>> kFiles = {
            {"one.bin", kOnePartMax, 1}, {"two.bin", kTwoPartsMin, 2}, {"odd.bin", kOddTwoParts, 3},
            {"small.bin", 3 << 20, 4},   {"tiny.bin", 255, 5},
        };
        for (const auto& [file, size, seed] : kFiles)
            if (file == name && !Exists(files->File(name))) WriteRandomFile(files->File(name), size, seed);
    }
    static void TearDownTestSuite() {
        delete files;
        files = nullptr;
    }

    // Builds the downloader; on 1005 it is started again from inside the event, as its owner does.
    void Make(const std::string& url, const std::string& target = "pkg.bin") {
        events.onEvent = [this](const Event& e) {
            if (e.code == DL_CODE_RETRY) {
                if (onRetry) onRetry();
                downloader->Start();
            }
        };
        downloader = std::make_unique<CMTCurlDownloader>(events.Callback(), Wide(url), out.WFile(target));
    }

    static TempDir* files;
    TempDir out;
    TestServer server{files->Path()};
    EventLog events;
    std::function<void()> onRetry;
    std::unique_ptr<CMTCurlDownloader> downloader;
};

TempDir* CMTCurlDownloaderTest::files = nullptr;

TEST(CMTCurlDownloaderUnits, CMTCurlDownloader_SplitsAtTwoUnits) {
    using Ranges = std::vector<std::pair<int64_t, int64_t>>;
    EXPECT_EQ(CMTCurlDownloader::SplitParts(kOnePartMax), (Ranges{{0, 20971518}}));
    EXPECT_EQ(CMTCurlDownloader::SplitParts(kTwoPartsMin), (Ranges{{0, 10485759}, {10485760, 20971519}}));
    EXPECT_EQ(CMTCurlDownloader::SplitParts(kOddTwoParts), (Ranges{{0, 14999999}, {15000000, 30000000}}));
    const int64_t big = (int64_t{5} << 30) + 1;  // beyond 32 bits: still two parts, 64-bit offsets
    EXPECT_EQ(CMTCurlDownloader::SplitParts(big), (Ranges{{0, big / 2 - 1}, {big / 2, big - 1}}));
    EXPECT_TRUE(CMTCurlDownloader::SplitParts(0).empty());
}

TEST(CMTCurlDownloaderUnits, CMTCurlDownloader_DigestIsTheSecondLastSegment) {
    EXPECT_EQ(CMTCurlDownloader::DigestFromUrl("http://h:8/x/0123456789abcdef0123456789abcdef/p.exe"),
              "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(CMTCurlDownloader::DigestFromUrl("http://h:8/p.exe"), "h:8");
    EXPECT_EQ(CMTCurlDownloader::DigestFromUrl("p.exe"), "");
    EXPECT_EQ(CMTCurlDownloader::PartPath("/t/pkg.exe", 1), "/t/pkg.exe_1");
}

TEST_F(CMTCurlDownloaderTest, CMTCurlDownloader_PartBoundariesOnTheWire) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"one.bin", {"bytes=0-20971518"}},
        {"two.bin", {"bytes=0-10485759", "bytes=10485760-20971519"}},
        {"odd.bin", {"bytes=0-14999999", "bytes=15000000-30000000"}},
    };
    for (const auto& [name, ranges] : cases) {
        Need(name);
        EventLog log;
        server->ClearRequests();
        CMTCurlDownloader dl(log.Callback(), Wide(server->RedirectUrl(name, 2)), out.WFile(name));
        dl.Start();
        ASSERT_TRUE(log.WaitFinal()) << name;
        EXPECT_EQ(log.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS})) << name;
        EXPECT_EQ(log.Last().text, L"LibCurl");
        EXPECT_EQ(SortedRanges(server.Gets()), ranges) << name;
        EXPECT_TRUE(SameContent(files->File(name), out.File(name))) << name;
        EXPECT_FALSE(Exists(out.File(name + "_0")));
        EXPECT_FALSE(Exists(out.File(name + "_1")));
        for (double v : log.ProgressValues()) EXPECT_LE(v, 1.0);
    }
}

TEST_F(CMTCurlDownloaderTest, CMTCurlDownloader_TraceNamesTheRunTheJoinAndTheFinish) {
    Need("two.bin");
    Make(server->DigestUrl("two.bin"));
    TraceCapture trace;
    downloader->Start();
    ASSERT_TRUE(events.WaitFinal());
    const std::string lines = trace.Finish();
    ASSERT_EQ(events.Last().code, DL_CODE_SUCCESS);
    EXPECT_EQ(CountTraceLines(lines, "CMTCurlDownloader::Start_Down", "start download"), 1);
    EXPECT_EQ(CountTraceLines(lines, "CMTCurlDownloader::waitForFinishThreadFun", "partPath::" + out.File("pkg.bin_1")),
              1);
    EXPECT_EQ(CountTraceLines(lines, "CMTCurlDownloader::waitForFinishThreadFun", "finish recv"), 1);
}

// The first part rides on the connection the header request left open (a new connection costs a
// round trip on a real link), with none of the header request's options left.
TEST_F(CMTCurlDownloaderTest, CMTCurlDownloader_FirstPartReusesTheHeaderRequestsConnection) {
    Need("small.bin");
    Make(server->DigestUrl("small.bin"));
    downloader->Start();
    ASSERT_TRUE(events.WaitFinal());
    ASSERT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_TRUE(SameContent(files->File("small.bin"), out.File("pkg.bin")));
    const auto heads = server.Heads();
    const auto gets = server.Gets();
    ASSERT_EQ(heads.size(), 1u);
    ASSERT_EQ(gets.size(), 1u);
    EXPECT_EQ(gets[0].clientPort, heads[0].clientPort);
    EXPECT_EQ(gets[0].range, "bytes=0-3145727");  // the header request's options are gone
}

TEST_F(CMTCurlDownloaderTest, CMTCurlDownloader_WithoutLibcurlEveryRunFailsAtOnce) {
    Need("small.bin");
    CMTCurlDownloader dl(events.Callback(), Wide(server->DigestUrl("small.bin")), out.WFile("pkg.bin"), false);
    dl.Start();
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(events.Last().value, 0.0);
    EXPECT_EQ(events.Last().text, L"LibCurl");
    EXPECT_TRUE(server->Requests().empty());
}

TEST_F(CMTCurlDownloaderTest, CMTCurlDownloader_AddressWithoutDigestNoticesThenSucceeds) {
    Need("small.bin");
    Make(server->FileUrl("small.bin"));  // the file sits right under the host: no digest segment
    downloader->Start();
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_VERIFY, DL_CODE_SUCCESS}));
    for (const Event& e : events.Events()) {
        if (e.code == DL_CODE_VERIFY) {
            EXPECT_EQ(e.text, L"mtcurl获取url-md5失败");
            EXPECT_EQ(e.value, 0.0);
        }
    }
    EXPECT_TRUE(SameContent(files->File("small.bin"), out.File("pkg.bin")));
}

TEST_F(CMTCurlDownloaderTest, CMTCurlDownloader_DigestMismatchRetriesOnceThenFails) {
    Need("small.bin");
    std::string upper = Md5Of(files->File("small.bin"));
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    for (const std::string& digest : {upper, std::string(32, '0')}) {
        EventLog log;
        events.onEvent = nullptr;
        CMTCurlDownloader* self = nullptr;
        log.onEvent = [&self](const Event& e) {
            if (e.code == DL_CODE_RETRY) self->Start();
        };
        CMTCurlDownloader dl(log.Callback(), Wide(server->BaseUrl() + "/" + digest + "/small.bin"), out.WFile("m.bin"));
        self = &dl;
        server->ClearRequests();
        TraceCapture trace;
        dl.Start();
        ASSERT_TRUE(log.WaitFinal()) << digest;
        const std::string lines = trace.Finish();
        const std::string finisher = "CMTCurlDownloader::waitForFinishThreadFun";
        EXPECT_EQ(CountTraceLines(lines, finisher, "finish recv, md5 chaek failed retry once."), 1);
        EXPECT_EQ(CountTraceLines(lines, finisher, "finish recv, md5 chaek failed and retry failed."), 1);
        EXPECT_EQ(CountTraceLines(lines, finisher, "finish recv"), 0);
        EXPECT_EQ(log.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_VERIFY, DL_CODE_RETRY, DL_CODE_START,
                                                 DL_CODE_VERIFY, DL_CODE_FAIL}))
            << digest;
        for (const Event& e : log.Events()) {
            if (e.code == DL_CODE_VERIFY) {
                EXPECT_EQ(e.text, L"mtcurl文件md5校验失败");
            }
            if (e.code == DL_CODE_RETRY || e.code == DL_CODE_FAIL) {
                EXPECT_EQ(e.value, 0.0);
            }
        }
        // The restart fetched the whole file again; nothing is left behind.
        EXPECT_EQ(SortedRanges(server.Gets()), (std::vector<std::string>{"bytes=0-3145727", "bytes=0-3145727"}));
        EXPECT_FALSE(Exists(out.File("m.bin")));
        EXPECT_FALSE(Exists(out.File("m.bin_0")));
    }
}

TEST_F(CMTCurlDownloaderTest, CMTCurlDownloader_UnusableHeaderAnswerFailsWithoutRetry) {
    Need("tiny.bin");
    Need("small.bin");
    struct Case {
        std::string name;
        std::function<void()> arrange;
        std::string url;
    };
    const std::vector<Case> cases = {
        {"length 255", [] {}, server->FileUrl("tiny.bin")},
        {"no length", [this] { server->SetOmitHeadLength(true); }, server->FileUrl("small.bin")},
        {"status 404", [] {}, server->FileUrl("missing.bin")},
    };
    for (const Case& c : cases) {
        EventLog log;
        server->ClearFaults();
        server->ClearRequests();
        c.arrange();
        CMTCurlDownloader dl(log.Callback(), Wide(c.url), out.WFile("u.bin"));
        dl.Start();
        ASSERT_TRUE(log.WaitFinal()) << c.name;
        EXPECT_EQ(log.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL})) << c.name;
        EXPECT_EQ(log.Last().value, 0.0) << c.name;
        EXPECT_EQ(log.Last().text, L"LibCurl") << c.name;
        EXPECT_TRUE(server.Gets().empty()) << c.name;
    }
}

TEST_F(CMTCurlDownloaderTest, CMTCurlDownloader_RestartReusesCompleteAndPartialParts) {
    // Part 1 breaks after 1000 bytes (budget 12 -> 11), then fails with 500 until its budget is
    // spent (seven more attempts); part 0 completes. The restart must fetch only the rest of part 1.
    Need("two.bin");
    server->AddRule({FaultRule::Action::Drop, 1000, 0, 0, 10485760, 1});
    server->AddRule({FaultRule::Action::Status, 0, 500, 0, 10485760 + 1000, 7});
    onRetry = [this] { server->ClearRequests(); };
    Make(server->DigestUrl("two.bin"));
    downloader->Start();
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(events.Events().at(0).code, DL_CODE_START);
    for (const Event& e : events.Events()) {
        if (e.code == DL_CODE_RETRY) {
            EXPECT_EQ(e.value, 22.0);
        }
    }
    EXPECT_EQ(SortedRanges(server.Gets()), (std::vector<std::string>{"bytes=10486760-20971519"}));
    EXPECT_TRUE(SameContent(files->File("two.bin"), out.File("pkg.bin")));
    EXPECT_FALSE(Exists(out.File("pkg.bin_1")));
}

TEST_F(CMTCurlDownloaderTest, CMTCurlDownloader_RangeIgnoringServerIsServedByOneConnection) {
    // No digest in the address, so only the range check stands between the server and the file.
    Need("two.bin");
    server->AddRule({FaultRule::Action::IgnoreRange});
    Make(server->FileUrl("two.bin"));
    TraceCapture trace;
    downloader->Start();
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(CountTraceLines(trace.Finish(), "CMTCurlDownloader::FetchWithOneConnection",
                              "range ignored by the server: one connection from byte 0"),
              1);
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_VERIFY, DL_CODE_SUCCESS}));
    EXPECT_TRUE(SameContent(files->File("two.bin"), out.File("pkg.bin")));
    // Both parts were answered with the whole file and gave up at once; then one request.
    const auto gets = server.Gets();
    ASSERT_EQ(gets.size(), 3u);
    EXPECT_EQ(gets[2].range, "bytes=0-20971519");
    EXPECT_FALSE(Exists(out.File("pkg.bin_0")));
    EXPECT_FALSE(Exists(out.File("pkg.bin_1")));
}

TEST_F(CMTCurlDownloaderTest, CMTCurlDownloader_StalledPartFailsWith28AndResumes) {
    Need("small.bin");
    server->AddRule({FaultRule::Action::Stall, 0, 0, 8000, 0, 1});
    Make(server->DigestUrl("small.bin"));
    TraceCapture trace;
    downloader->Start();
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(CountOf(trace.Finish(), "CurlDownLoader Code=28"), 1);
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_TRUE(SameContent(files->File("small.bin"), out.File("pkg.bin")));
}

TEST_F(CMTCurlDownloaderTest, CMTCurlDownloader_UnopenablePartFileAtJoinFailsLikeAPart) {
    // While part 0 is held back, its file is moved away (the transfer goes on into it) and a
    // folder takes its name, so the join cannot open part file 0: 1005 with the status of an
    // unopenable part file (-2), and the restart, which cannot open it either, fails for good.
    Need("two.bin");
    server->AddRule({FaultRule::Action::Stall, 4096, 0, 1500, 0, 1});
    Make(server->DigestUrl("two.bin"));
    downloader->Start();
    const std::string part0 = out.File("pkg.bin_0");
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (SizeOf(part0) < 4096 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    std::filesystem::rename(NativePath(part0), NativePath(out.File("moved")));
    std::filesystem::create_directory(NativePath(part0));
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_FAIL}));
    for (const Event& e : events.Events()) {
        if (e.code == DL_CODE_RETRY || e.code == DL_CODE_FAIL) {
            EXPECT_EQ(e.value, -2.0);
        }
    }
    EXPECT_FALSE(Exists(out.File("pkg.bin")));
}

TEST_F(CMTCurlDownloaderTest, CMTCurlDownloader_EmptyTargetFailsAndEndsTheRun) {
    Need("small.bin");
    CMTCurlDownloader dl(events.Callback(), Wide(server->DigestUrl("small.bin")), L"");
    dl.Start();
    ASSERT_TRUE(events.WaitFinal());
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(events.Last().value, 1.0);
    EXPECT_EQ(events.Last().text, L"");
    EXPECT_TRUE(server->Requests().empty());
}

}  // namespace
