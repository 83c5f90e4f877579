// CurlClient against the package server on 127.0.0.1: header request, resume, error statuses,
// the finishing steps and TLS verification.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include "download/CurlClient.h"
#include "tests/download/DownloadTestSupport.h"

using namespace DownloadTest;
using PackageServer::FaultRule;

namespace {

struct HookLog {
    std::mutex mutex;
    std::vector<double> percents;
    static void Hook(void* owner, double, double percent) {
        auto* self = static_cast<HookLog*>(owner);
        std::lock_guard lock(self->mutex);
        self->percents.push_back(percent);
    }
};

void WritePrefix(const std::string& source, const std::string& path, size_t bytes) {
    const std::string data = ReadFile(source).substr(0, bytes);
    std::ofstream(NativePath(path), std::ios::binary | std::ios::trunc).write(data.data(), static_cast<std::streamsize>(data.size()));
}

class CurlClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteRandomFile(dir.File("pkg.bin"), 3 << 20, 7);
        WriteRandomFile(dir.File("small.bin"), 100, 8);
    }
    TempDir dir;
    TempDir out;
    TestServer server{dir.Path()};
    HookLog hook;
};

TEST_F(CurlClientTest, CurlClient_HeadWithoutLengthFailsEveryAttemptWithoutBodyRequest) {
    server->SetOmitHeadLength(true);
    CurlClient client(Wide(server->FileUrl("pkg.bin")), out.WFile("pkg.bin"), &hook, &HookLog::Hook);
    EXPECT_EQ(client.Start(), CurlClient::kErrorUnknownLength);
    EXPECT_EQ(client.Start(), CurlClient::kErrorUnknownLength);
    EXPECT_TRUE(server.Gets().empty());
    EXPECT_FALSE(Exists(out.File("pkg.bin")));
}

// On a real link every new connection costs a round trip: the body request rides on the
// connection the header request left open, with none of the header request's options left.
TEST_F(CurlClientTest, CurlClient_BodyRequestReusesTheHeaderRequestsConnection) {
    CurlClient client(Wide(server->DigestUrl("small.bin")), out.WFile("small.bin"), &hook, &HookLog::Hook);
    ASSERT_EQ(client.Start(), 0);
    EXPECT_TRUE(SameContent(dir.File("small.bin"), out.File("small.bin")));
    const auto heads = server.Heads();
    const auto gets = server.Gets();
    ASSERT_EQ(heads.size(), 1u);
    ASSERT_EQ(gets.size(), 1u);
    EXPECT_EQ(gets[0].clientPort, heads[0].clientPort);
    EXPECT_EQ(gets[0].range, "");  // the header request's options are gone
}

TEST_F(CurlClientTest, CurlClient_DroppedConnectionResumesFromPartialSize) {
    server->AddRule({FaultRule::Action::Drop, 1000, 0, 0, -1, 1});
    CurlClient client(Wide(server->DigestUrl("pkg.bin")), out.WFile("pkg.bin"), &hook, &HookLog::Hook);
    EXPECT_EQ(client.Start(), CURLE_PARTIAL_FILE);
    EXPECT_EQ(SizeOf(out.File("pkg.bin.part")), 1000);
    EXPECT_EQ(client.Start(), 0);
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("pkg.bin")));
    EXPECT_FALSE(Exists(out.File("pkg.bin.part")));
    const auto gets = server.Gets();
    ASSERT_EQ(gets.size(), 2u);
    EXPECT_EQ(gets[0].range, "");  // an empty partial file asks for no range
    EXPECT_EQ(gets[1].range, "bytes=1000-");
    EXPECT_EQ(server.Heads().size(), 1u);  // the address and length are learned once
}

TEST_F(CurlClientTest, CurlClient_PercentCountsResumedBytes) {
    // 40 of 100 bytes already here; the server sends 10 more and then pauses long enough for a
    // progress pass: that pass must report (40 + 10) / 100.
    WritePrefix(dir.File("small.bin"), out.File("small.bin.part"), 40);
    server->AddRule({FaultRule::Action::Stall, 10, 0, 2200, -1, 1});
    CurlClient client(Wide(server->FileUrl("small.bin")), out.WFile("small.bin"), &hook, &HookLog::Hook);
    EXPECT_EQ(client.Start(), 0);
    EXPECT_TRUE(SameContent(dir.File("small.bin"), out.File("small.bin")));
    std::lock_guard lock(hook.mutex);
    EXPECT_NE(std::find(hook.percents.begin(), hook.percents.end(), 50.0), hook.percents.end());
    for (double p : hook.percents) EXPECT_GE(p, 40.0);
    // At most one hook call per wall-clock second.
    EXPECT_LE(hook.percents.size(), 4u);
}

TEST_F(CurlClientTest, CurlClient_HttpErrorGives22AndKeepsPartialFile) {
    WritePrefix(dir.File("pkg.bin"), out.File("pkg.bin.part"), 40);
    server->AddRule({FaultRule::Action::Status, 0, 503, 0, -1, 1});
    CurlClient client(Wide(server->FileUrl("pkg.bin")), out.WFile("pkg.bin"), &hook, &HookLog::Hook);
    EXPECT_EQ(client.Start(), CURLE_HTTP_RETURNED_ERROR);
    EXPECT_EQ(ReadFile(out.File("pkg.bin.part")), ReadFile(dir.File("pkg.bin")).substr(0, 40));
    EXPECT_EQ(client.Start(), 0);
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("pkg.bin")));
}

TEST_F(CurlClientTest, CurlClient_AdvertisesNoEncodingSoAGzipServerSendsThePackage) {
    server->SetGzipWhenAsked(true);
    CurlClient client(Wide(server->FileUrl("pkg.bin")), out.WFile("pkg.bin"), &hook, &HookLog::Hook);
    EXPECT_EQ(client.Start(), 0);
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("pkg.bin")));
    for (const auto& r : server->Requests()) EXPECT_EQ(r.acceptEncoding, "") << r.method;
}

TEST_F(CurlClientTest, CurlClient_FailedFinishIsReportedAndPartialKept) {
    // A non-empty folder where the target should go cannot be removed: that is a failure.
    std::filesystem::create_directories(NativePath(out.File("pkg.bin/inner")));
    CurlClient client(Wide(server->FileUrl("pkg.bin")), out.WFile("pkg.bin"), &hook, &HookLog::Hook);
    EXPECT_EQ(client.Start(), CurlClient::kErrorFinish);
    EXPECT_EQ(SizeOf(out.File("pkg.bin.part")), 3 << 20);
    // Once the obstacle is gone the kept bytes finish the download without a new transfer.
    std::filesystem::remove_all(NativePath(out.File("pkg.bin")));
    const size_t gets = server.Gets().size();
    EXPECT_EQ(client.Start(), 0);
    EXPECT_EQ(server.Gets().size(), gets);
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("pkg.bin")));
}

TEST_F(CurlClientTest, CurlClient_UnusablePartialFilesStartOver) {
    // Longer than the resource: cannot be a prefix of it.
    std::ofstream(NativePath(out.File("small.bin.part")), std::ios::binary) << std::string(200, 'x');
    CurlClient longer(Wide(server->FileUrl("small.bin")), out.WFile("small.bin"), &hook, &HookLog::Hook);
    EXPECT_EQ(longer.Start(), 0);
    EXPECT_TRUE(SameContent(dir.File("small.bin"), out.File("small.bin")));

    // A server that ignores the range cannot resume: the kept bytes are dropped, the next
    // attempt starts from the first byte.
    WritePrefix(dir.File("pkg.bin"), out.File("pkg.bin.part"), 40);
    server->AddRule({FaultRule::Action::IgnoreRange, 0, 0, 0, -1, 1});
    CurlClient client(Wide(server->FileUrl("pkg.bin")), out.WFile("pkg.bin"), &hook, &HookLog::Hook);
    EXPECT_EQ(client.Start(), CURLE_RANGE_ERROR);
    EXPECT_FALSE(Exists(out.File("pkg.bin.part")));
    EXPECT_EQ(client.Start(), 0);
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("pkg.bin")));
}

TEST_F(CurlClientTest, CurlClient_FileUrlIsFetched) {
    CurlClient client(Wide(FileUrl(dir.File("pkg.bin"))), out.WFile("local.bin"), &hook, &HookLog::Hook);
    EXPECT_EQ(client.Start(), 0);
    EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("local.bin")));
}

TEST_F(CurlClientTest, CurlClient_DestructionRemovesPartial) {
    server->AddRule({FaultRule::Action::Drop, 500, 0, 0, -1, 1});
    {
        CurlClient client(Wide(server->FileUrl("pkg.bin")), out.WFile("pkg.bin"), &hook, &HookLog::Hook);
        EXPECT_EQ(client.Start(), CURLE_PARTIAL_FILE);
        EXPECT_TRUE(Exists(out.File("pkg.bin.part")));
    }
    EXPECT_FALSE(Exists(out.File("pkg.bin.part")));
}

}  // namespace
