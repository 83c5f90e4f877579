// What every downloader owes the installer, which runs the file it gets: the bytes the address's
// digest names or no file at all, a server that ignores ranges still served, and no write that
// a planted link can redirect.
#include <gtest/gtest.h>

#include <memory>

#include "download/CCurlDownloader.h"
#include "download/CMTCurlDownloader.h"
#include "download/CWinDownloader.h"
#include "tests/download/DownloadTestSupport.h"

using namespace DownloadTest;
using PackageServer::FaultRule;

namespace {

enum class Kind { Single, Multi, UrlMoniker };

const char* Name(Kind kind) {
    switch (kind) {
        case Kind::Single: return "single-connection";
        case Kind::Multi: return "multi-connection";
        case Kind::UrlMoniker: return "URL moniker";
    }
    return "";
}

// A downloader of one kind with its events; 1005 is answered with a new start, as the owner does.
struct Download {
    Download(Kind kind, const std::string& url, const std::string& target) {
        events.onEvent = [this](const Event& e) {
            if (e.code == DL_CODE_RETRY) downloader->Start();
        };
        switch (kind) {
            case Kind::Single:
                downloader = std::make_unique<CCurlDownloader>(events.Callback(), Wide(url), Wide(target));
                break;
            case Kind::Multi:
                downloader = std::make_unique<CMTCurlDownloader>(events.Callback(), Wide(url), Wide(target));
                break;
            case Kind::UrlMoniker:
                downloader = std::make_unique<CWinDownloader>(events.Callback(), Wide(url), Wide(target));
                break;
        }
    }
    bool Run() {
        downloader->Start();
        return events.WaitFinal(std::chrono::seconds(90));
    }
    EventLog events;
    std::unique_ptr<CDownloader> downloader;
};

// GET requests answered with (part of) a file; redirects not counted.
int Fetches(TestServer& server) {
    int count = 0;
    for (const auto& r : server.Gets()) count += (r.status == 200 || r.status == 206) ? 1 : 0;
    return count;
}

class IntegrityTest : public ::testing::Test {
protected:
    void SetUp() override { WriteRandomFile(dir.File("pkg.bin"), 2 << 20, 31); }
    TempDir dir;
    TempDir out;
    TestServer server{dir.Path()};
};

TEST_F(IntegrityTest, SingleAndUrlMonikerDownloadersRefuseAFileTheDigestDoesNotName) {
    const std::string wrong(32, '0');
    const struct {
        Kind kind;
        double failure;
    } cases[] = {
        {Kind::Single, -994.0},
        {Kind::UrlMoniker, static_cast<double>(static_cast<int32_t>(0x80096010u))},  // TRUST_E_BAD_DIGEST
    };
    for (const auto& c : cases) {
        // Named directly, and named by the address a redirect ends at.
        for (const bool redirected : {false, true}) {
            const std::string what = std::string(Name(c.kind)) + (redirected ? " after a redirect" : "");
            server->ClearFaults();
            server->ClearRequests();
            if (redirected) server->SetRedirectDigest(wrong);
            const std::string url =
                redirected ? server->RedirectUrl("pkg.bin", 1) : server->BaseUrl() + "/" + wrong + "/pkg.bin";
            Download download(c.kind, url, out.File("pkg.bin"));
            ASSERT_TRUE(download.Run()) << what;
            EXPECT_EQ(download.events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL})) << what;
            EXPECT_EQ(download.events.Last().value, c.failure) << what;
            EXPECT_EQ(Fetches(server), 3) << what << ": every attempt fetched the file";
            EXPECT_FALSE(Exists(out.File("pkg.bin"))) << what;
            EXPECT_FALSE(Exists(out.File("pkg.bin.part"))) << what;
        }
        // The right digest, reached through a redirect: the file arrives.
        server->ClearFaults();
        Download download(c.kind, server->RedirectUrl("pkg.bin", 2), out.File("pkg.bin"));
        ASSERT_TRUE(download.Run());
        EXPECT_EQ(download.events.Last().code, DL_CODE_SUCCESS) << Name(c.kind);
        EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("pkg.bin"))) << Name(c.kind);
    }
}

}  // namespace
