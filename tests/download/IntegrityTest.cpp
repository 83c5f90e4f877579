// What every downloader owes the installer, which runs the file it gets: the bytes the address's
// digest names or no file at all, a server that ignores ranges still served, and no write that
// a planted link can redirect.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "tests/download/AnyDownloader.h"
#include "utils/FileHandle.h"
#include "utils/PathText.h"

using namespace DownloadTest;
using PackageServer::FaultRule;

namespace {

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
            AnyDownload download(c.kind, url, out.File("pkg.bin"));
            ASSERT_TRUE(download.Run()) << what;
            EXPECT_EQ(download.events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL})) << what;
            EXPECT_EQ(download.events.Last().value, c.failure) << what;
            EXPECT_EQ(Fetches(server), 3) << what << ": every attempt fetched the file";
            EXPECT_FALSE(Exists(out.File("pkg.bin"))) << what;
            EXPECT_FALSE(Exists(out.File("pkg.bin.part"))) << what;
        }
        // The right digest, reached through a redirect: the file arrives.
        server->ClearFaults();
        AnyDownload download(c.kind, server->RedirectUrl("pkg.bin", 2), out.File("pkg.bin"));
        ASSERT_TRUE(download.Run());
        EXPECT_EQ(download.events.Last().code, DL_CODE_SUCCESS) << Name(c.kind);
        EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("pkg.bin"))) << Name(c.kind);
    }
}

TEST_F(IntegrityTest, EveryDownloaderGetsTheFileFromAServerThatIgnoresRanges) {
    // Two parts for the multi-connection downloader; the digest is in the address.
    WriteRandomFile(dir.File("big.bin"), 21 << 20, 32);
    for (Kind kind : {Kind::Single, Kind::Multi, Kind::UrlMoniker}) {
        server->ClearFaults();
        server->ClearRequests();
        if (kind == Kind::Multi) {
            // Both parts get the whole file; the one connection that takes over breaks after
            // 1 MiB, and its resume is answered with the whole file again.
            server->AddRule({FaultRule::Action::IgnoreRange, 0, 0, 0, -1, 2});
            server->AddRule({FaultRule::Action::Drop, 1 << 20, 0, 0, -1, 1});
        } else {
            // A broken first transfer, so that the resume meets the ignored range.
            server->AddRule({FaultRule::Action::Drop, 300000, 0, 0, -1, 1});
        }
        server->AddRule({FaultRule::Action::IgnoreRange});
        const std::string name = kind == Kind::Multi ? "big.bin" : "pkg.bin";
        AnyDownload download(kind, server->DigestUrl(name), out.File("t.bin"));
        ASSERT_TRUE(download.Run()) << Name(kind);
        EXPECT_EQ(download.events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS})) << Name(kind);
        EXPECT_TRUE(SameContent(dir.File(name), out.File("t.bin"))) << Name(kind);
        for (const char* left : {"t.bin.part", "t.bin_0", "t.bin_1"}) EXPECT_FALSE(Exists(out.File(left))) << left;
        Utils::RemoveFile(out.File("t.bin"));
    }
}

// Names in a folder.
std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(NativePath(folder)))
        names.push_back(Utils::ToUtf8(Utils::PathToWide(entry.path().filename())));
    return names;
}

TEST_F(IntegrityTest, AFailedDownloadLeavesNothingBehind) {
    WriteRandomFile(dir.File("big.bin"), 21 << 20, 33);
    // Multi-connection: part 0 completes (slowly enough to be reported), part 1 always fails.
    // The part files stay for the restart that reuses them, and go with the final failure.
    server->AddRule({FaultRule::Action::Stall, 1 << 20, 0, 1500, 0, 1});
    server->AddRule({FaultRule::Action::Status, 0, 500, 0, (21 << 20) / 2, -1});
    {
        AnyDownload download(Kind::Multi, server->DigestUrl("big.bin"), out.File("t.bin"));
        bool keptForTheRestart = false;
        download.events.onEvent = [&](const Event& e) {
            if (e.code != DL_CODE_RETRY) return;
            keptForTheRestart = Exists(out.File("t.bin_0")) && Exists(out.File("t.bin_1"));
            download.downloader->Start();
        };
        ASSERT_TRUE(download.Run());
        EXPECT_EQ(download.events.Codes(),
                  (std::vector<int>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_FAIL}));
        EXPECT_TRUE(keptForTheRestart);
        EXPECT_EQ(Listing(out.Path()), std::vector<std::string>{}) << "after the final failure";
    }
    // The other two, against a server that fails every request: nothing once they are gone.
    server->ClearFaults();
    server->AddRule({FaultRule::Action::Drop, 100000, 0, 0, -1, -1});
    for (Kind kind : {Kind::Single, Kind::UrlMoniker}) {
        {
            AnyDownload download(kind, server->DigestUrl("pkg.bin"), out.File("t.bin"));
            ASSERT_TRUE(download.Run());
            EXPECT_EQ(download.events.Last().code, DL_CODE_FAIL) << Name(kind);
        }
        EXPECT_EQ(Listing(out.Path()), std::vector<std::string>{}) << Name(kind);
    }
}

TEST_F(IntegrityTest, RedirectsAreFollowedOnlySoFar) {
    // A chain longer than any real one stands in for a server that redirects in a circle: every
    // downloader gives up after a bounded number of hops, and none takes the hop where its header
    // request stopped for the file's address (which would name no digest to check).
    const std::string url = server->RedirectUrl("pkg.bin", 40);
    for (Kind kind : {Kind::Single, Kind::Multi, Kind::UrlMoniker}) {
        {
            AnyDownload download(kind, url, out.File("t.bin"));
            ASSERT_TRUE(download.Run()) << Name(kind) << ": still following redirects";
            EXPECT_EQ(download.events.Last().code, DL_CODE_FAIL) << Name(kind);
        }
        EXPECT_EQ(Listing(out.Path()), std::vector<std::string>{}) << Name(kind);
    }
    // A short chain is still followed.
    AnyDownload download(Kind::Multi, server->RedirectUrl("pkg.bin", 5), out.File("t.bin"));
    ASSERT_TRUE(download.Run());
    EXPECT_EQ(download.events.Last().code, DL_CODE_SUCCESS);
}

}  // namespace
