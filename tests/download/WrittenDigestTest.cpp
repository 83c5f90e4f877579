// The digest kept while a package is written: it must give the answer a full read of the file
// gives, after resumes (the prefix on disk counts) and restarts (nothing stale counts).
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "download/CurlClient.h"
#include "download/UrlDigest.h"
#include "tests/download/AnyDownloader.h"
#include "utils/FileHandle.h"

using namespace DownloadTest;
using PackageServer::FaultRule;
using Download::DigestCheck;
using Download::WrittenDigest;

namespace {

void WriteBytes(const std::string& path, const std::string& data) {
    std::ofstream(NativePath(path), std::ios::binary | std::ios::trunc)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
}

TEST(WrittenDigestUnits, WrittenDigest_MatchesAFullReadOnlyWhenItSawEveryByteInOrder) {
    TempDir dir;
    WriteRandomFile(dir.File("f.bin"), 300000, 3);
    const std::string data = ReadFile(dir.File("f.bin"));
    const std::string url = "http://h/" + Md5Of(dir.File("f.bin")) + "/f.bin";

    // A resumed file: its prefix read from disk, the rest added as written.
    WrittenDigest written;
    {
        Utils::FileHandle file = Utils::FileHandle::OpenRead(dir.File("f.bin"));
        written.Prime(file, 1000);
    }
    written.Add(1000, data.data() + 1000, 99000);
    written.Add(100000, data.data() + 100000, data.size() - 100000);
    EXPECT_EQ(written.TakeHex(static_cast<int64_t>(data.size())), Md5Of(dir.File("f.bin")));
    EXPECT_FALSE(written.Trusted()) << "used up";

    // A write that leaves a gap, a length other than what was hashed, a prefix the file does not
    // have: no digest.
    written.Reset();
    written.Add(0, data.data(), 10);
    written.Add(20, data.data() + 20, 10);
    EXPECT_EQ(written.TakeHex(30), "");
    written.Reset();
    written.Add(0, data.data(), 10);
    EXPECT_EQ(written.TakeHex(11), "");
    {
        Utils::FileHandle file = Utils::FileHandle::OpenRead(dir.File("f.bin"));
        written.Prime(file, static_cast<int64_t>(data.size()) + 1);
    }
    EXPECT_FALSE(written.Trusted());

    // The check takes a trusted digest as the file's (no second read: other bytes of the same
    // length decide), and reads the file when the digest cannot be trusted.
    const std::string other(data.size(), 'x');
    written.Reset();
    written.Add(0, other.data(), other.size());
    EXPECT_EQ(Download::CheckWrittenDigest(url, dir.File("f.bin"), written), DigestCheck::Mismatch);
    written.Reset();
    written.Add(5, data.data(), data.size());
    EXPECT_EQ(Download::CheckWrittenDigest(url, dir.File("f.bin"), written), DigestCheck::Match);
    written.Reset();
    written.Add(0, data.data(), data.size());
    EXPECT_EQ(Download::CheckWrittenDigest("http://h/" + std::string(32, '0') + "/f.bin", dir.File("f.bin"), written),
              DigestCheck::Mismatch);
    EXPECT_EQ(Download::CheckWrittenDigest("http://h/f.bin", dir.File("f.bin"), written), DigestCheck::NotNamed);
}

class WrittenDigestTest : public ::testing::Test {
protected:
    void SetUp() override { WriteRandomFile(dir.File("pkg.bin"), 1 << 20, 41); }
    std::string Url(bool right) {
        return right ? server->DigestUrl("pkg.bin") : server->BaseUrl() + "/" + std::string(32, 'a') + "/pkg.bin";
    }
    std::string Prefix(size_t bytes) const { return ReadFile(dir.File("pkg.bin")).substr(0, bytes); }
    TempDir dir;
    TempDir out;
    TestServer server{dir.Path()};
};

TEST_F(WrittenDigestTest, CurlClient_ResumedDownloadCountsThePrefixOnDisk) {
    for (const bool right : {true, false}) {
        SCOPED_TRACE(right ? "right digest" : "wrong digest");
        server->ClearFaults();
        server->ClearRequests();
        // A prefix this client never saw arriving, then a transfer that breaks and resumes.
        WriteBytes(out.File("pkg.bin.part"), Prefix(1000));
        server->AddRule({FaultRule::Action::Drop, 5000, 0, 0, -1, 1});
        CurlClient client(Wide(Url(right)), out.WFile("pkg.bin"), nullptr, nullptr);
        EXPECT_EQ(client.Start(), CURLE_PARTIAL_FILE);
        EXPECT_EQ(client.Start(), right ? 0 : CurlClient::kErrorDigestMismatch);
        const auto gets = server.Gets();
        ASSERT_EQ(gets.size(), 2u);
        EXPECT_EQ(gets[0].range, "bytes=1000-");
        EXPECT_EQ(gets[1].range, "bytes=6000-");
        EXPECT_EQ(Exists(out.File("pkg.bin")), right);
        EXPECT_TRUE(!right || SameContent(dir.File("pkg.bin"), out.File("pkg.bin")));
        EXPECT_FALSE(Exists(out.File("pkg.bin.part")));
        Utils::RemoveFile(out.File("pkg.bin"));
    }
}

TEST_F(WrittenDigestTest, CurlClient_DamagedPrefixFailsAndTheRestartFromZeroSucceeds) {
    WriteBytes(out.File("pkg.bin.part"), std::string(1000, 'x'));
    CurlClient client(Wide(Url(true)), out.WFile("pkg.bin"), nullptr, nullptr);
    EXPECT_EQ(client.Start(), CurlClient::kErrorDigestMismatch);
    EXPECT_FALSE(Exists(out.File("pkg.bin")));
    EXPECT_EQ(client.Start(), 0);
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("pkg.bin")));
}

TEST_F(WrittenDigestTest, CurlClient_ServerIgnoringTheRangeRestartsTheDigest) {
    for (const bool right : {true, false}) {
        SCOPED_TRACE(right ? "right digest" : "wrong digest");
        server->ClearFaults();
        // 5000 bytes hashed, then a resume the server answers with the whole file: the bytes
        // kept are dropped and the third attempt starts from the first byte.
        server->AddRule({FaultRule::Action::Drop, 5000, 0, 0, -1, 1});
        server->AddRule({FaultRule::Action::IgnoreRange, 0, 0, 0, -1, 1});
        CurlClient client(Wide(Url(right)), out.WFile("pkg.bin"), nullptr, nullptr);
        EXPECT_EQ(client.Start(), CURLE_PARTIAL_FILE);
        EXPECT_EQ(client.Start(), CURLE_RANGE_ERROR);
        EXPECT_EQ(client.Start(), right ? 0 : CurlClient::kErrorDigestMismatch);
        EXPECT_EQ(Exists(out.File("pkg.bin")), right);
        EXPECT_TRUE(!right || SameContent(dir.File("pkg.bin"), out.File("pkg.bin")));
        Utils::RemoveFile(out.File("pkg.bin"));
    }
}

TEST_F(WrittenDigestTest, RetriedTransfersStartTheDigestAfresh) {
    // Each downloader's first transfer breaks part way; the retry starts over (the URL loader)
    // or resumes (the single connection), and the digest must describe the file as it ends up.
    for (Kind kind : {Kind::Single, Kind::UrlMoniker}) {
        for (const bool right : {true, false}) {
            SCOPED_TRACE(std::string(Name(kind)) + (right ? ", right digest" : ", wrong digest"));
            server->ClearFaults();
            server->AddRule({FaultRule::Action::Drop, 300000, 0, 0, -1, 1});
            AnyDownload download(kind, Url(right), out.File("t.bin"));
            ASSERT_TRUE(download.Run());
            EXPECT_EQ(download.events.Last().code, right ? DL_CODE_SUCCESS : DL_CODE_FAIL);
            EXPECT_EQ(Exists(out.File("t.bin")), right);
            EXPECT_TRUE(!right || SameContent(dir.File("pkg.bin"), out.File("t.bin")));
            Utils::RemoveFile(out.File("t.bin"));
        }
    }
}

}  // namespace
