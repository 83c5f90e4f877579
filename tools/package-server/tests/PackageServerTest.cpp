// The package server's answers and every switchable fault, seen by a libcurl client, on every
// system the server is built for. The file served is binary with line ends and a Ctrl+Z in it, so
// a text-mode read anywhere would show.
#include <gtest/gtest.h>

#include <curl/curl.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/TempDir.h"
#include "tools/package-server/PackageServer.h"

namespace {

using namespace std::chrono_literals;
using PackageServer::FaultRule;

struct Answer {
    CURLcode result = CURLE_OK;
    long status = 0;
    std::string headers;  // every header line as received, lower-cased
    std::string body;
    std::string finalUrl;
    double firstByteSeconds = 0;  // from the start of the request, connection set-up included
};

struct Ask {
    std::string range;           // CURLOPT_RANGE ("a-b")
    bool head = false;
    bool gzip = false;           // ask for gzip and let libcurl decode it
    bool followRedirects = false;
};

size_t Append(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

size_t AppendLower(char* data, size_t size, size_t count, void* out) {
    std::string* text = static_cast<std::string*>(out);
    for (size_t i = 0; i < size * count; ++i)
        text->push_back(data[i] >= 'A' && data[i] <= 'Z' ? static_cast<char>(data[i] - 'A' + 'a') : data[i]);
    return size * count;
}

Answer Get(const std::string& url, const Ask& ask = {}) {
    Answer answer;
    CURL* curl = curl_easy_init();
    if (!curl) {
        answer.result = CURLE_FAILED_INIT;
        return answer;
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, AppendLower);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &answer.headers);
    if (!ask.range.empty()) curl_easy_setopt(curl, CURLOPT_RANGE, ask.range.c_str());
    if (ask.head) curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    if (ask.gzip) curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    if (ask.followRedirects) curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    answer.result = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    curl_easy_getinfo(curl, CURLINFO_STARTTRANSFER_TIME, &answer.firstByteSeconds);
    char* finalUrl = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &finalUrl) == CURLE_OK && finalUrl) answer.finalUrl = finalUrl;
    curl_easy_cleanup(curl);
    return answer;
}

class CurlEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(curl_global_init(CURL_GLOBAL_DEFAULT), CURLE_OK); }
    void TearDown() override { curl_global_cleanup(); }
};
const auto* const kCurl = ::testing::AddGlobalTestEnvironment(new CurlEnvironment);

class PackageServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 300000; ++i) content_.push_back(static_cast<char>((static_cast<unsigned>(i) * 7919u + i / 251) & 0xffu));
        content_.replace(100, 5, "\r\n\x1a\n\r");
        Write("package.bin", content_);
        Write("abc.txt", "abc");
        PackageServer::Options options;
        options.root = temp_.path().string();
        server_ = std::make_unique<PackageServer::Server>(options);
        ASSERT_TRUE(server_->Start());
    }

    void Write(const std::string& name, const std::string& data) {
        std::ofstream(temp_.path() / name, std::ios::binary) << data;
    }

    std::string Url(const std::string& name = "package.bin") const { return server_->FileUrl(name); }

    testsupport::TempDir temp_;
    std::string content_;
    std::unique_ptr<PackageServer::Server> server_;
};

TEST_F(PackageServerTest, ServesWholeRangedHeadAndMissingFiles) {
    Answer whole = Get(Url());
    EXPECT_EQ(whole.result, CURLE_OK);
    EXPECT_EQ(whole.status, 200);
    EXPECT_TRUE(whole.body == content_) << "served " << whole.body.size() << " bytes of " << content_.size();

    Answer part = Get(Url(), {.range = "90-1089"});
    EXPECT_EQ(part.status, 206);
    EXPECT_TRUE(part.body == content_.substr(90, 1000));
    EXPECT_NE(part.headers.find("content-range: bytes 90-1089/300000"), std::string::npos) << part.headers;
    EXPECT_TRUE(Get(Url(), {.range = "299990-"}).body == content_.substr(299990));
    EXPECT_EQ(Get(Url(), {.range = "300000-"}).status, 416);

    Answer head = Get(Url(), {.head = true});
    EXPECT_EQ(head.status, 200);
    EXPECT_NE(head.headers.find("content-length: 300000"), std::string::npos) << head.headers;
    EXPECT_TRUE(head.body.empty());
    server_->SetOmitHeadLength(true);
    head = Get(Url(), {.head = true});
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.headers.find("content-length"), std::string::npos) << head.headers;

    EXPECT_EQ(Get(Url("missing.bin")).status, 404);
    EXPECT_EQ(Get(server_->BaseUrl() + "/..").status, 404);
    EXPECT_EQ(Get(server_->BaseUrl() + "/any/thing/abc.txt").body, "abc") << "only the last segment names the file";
}

TEST_F(PackageServerTest, DropStallStatusAndIgnoredRangeFaults) {
    FaultRule drop;
    drop.action = FaultRule::Action::Drop;
    drop.afterBytes = 70000;
    drop.times = 1;
    server_->AddRule(drop);
    Answer cut = Get(Url());
    EXPECT_NE(cut.result, CURLE_OK);
    EXPECT_EQ(cut.body.size(), 70000u);
    EXPECT_TRUE(cut.body == content_.substr(0, 70000));
    EXPECT_TRUE(Get(Url()).body == content_) << "the drop was for one request";

    FaultRule stall;
    stall.action = FaultRule::Action::Stall;
    stall.afterBytes = 1000;
    stall.stallMs = 600;
    stall.times = 1;
    server_->AddRule(stall);
    const auto start = std::chrono::steady_clock::now();
    Answer slow = Get(Url());
    EXPECT_GE(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_TRUE(slow.body == content_) << "a stall delays the body, never changes it";

    FaultRule status;
    status.action = FaultRule::Action::Status;
    status.status = 503;
    status.times = 1;
    status.method.clear();
    server_->AddRule(status);
    EXPECT_EQ(Get(Url(), {.head = true}).status, 503);
    EXPECT_EQ(Get(Url(), {.head = true}).status, 200);

    FaultRule ignore;
    ignore.action = FaultRule::Action::IgnoreRange;
    server_->AddRule(ignore);
    Answer ignored = Get(Url(), {.range = "10-19"});
    EXPECT_EQ(ignored.status, 200);
    EXPECT_EQ(ignored.body.size(), content_.size());

    const auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_TRUE(requests[0].cut);
    EXPECT_EQ(requests[4].status, 200);
    EXPECT_EQ(requests[5].range, "bytes=10-19");
}

TEST_F(PackageServerTest, RandomDropsCutEveryBodySomewhere) {
    server_->SetRandomDrops(1.0, 7);
    for (int i = 0; i < 3; ++i) {
        Answer cut = Get(Url());
        EXPECT_NE(cut.result, CURLE_OK);
        EXPECT_LT(cut.body.size(), content_.size());
        EXPECT_TRUE(cut.body == content_.substr(0, cut.body.size()));
    }
    server_->ClearFaults();
    EXPECT_TRUE(Get(Url()).body == content_);
}

TEST_F(PackageServerTest, GzipWhenAskedRedirectsAndDigests) {
    EXPECT_EQ(PackageServer::Server::FileMd5((temp_.path() / "abc.txt").string()), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(PackageServer::Server::FileMd5((temp_.path() / "none").string()), "");

    server_->SetGzipWhenAsked(true);
    Answer packed = Get(Url(), {.gzip = true});
    EXPECT_NE(packed.headers.find("content-encoding: gzip"), std::string::npos) << packed.headers;
    EXPECT_TRUE(packed.body == content_);
    EXPECT_EQ(Get(Url()).headers.find("content-encoding"), std::string::npos) << "only when the client asks";

    Answer followed = Get(server_->RedirectUrl("abc.txt", 2), {.followRedirects = true});
    EXPECT_EQ(followed.status, 200);
    EXPECT_EQ(followed.body, "abc");
    EXPECT_EQ(followed.finalUrl, server_->BaseUrl() + "/900150983cd24fb0d6963f7d28e17f72/abc.txt");
    EXPECT_EQ(server_->DigestUrl("abc.txt"), followed.finalUrl);
    server_->SetRedirectDigest("00000000000000000000000000000000");
    EXPECT_EQ(Get(server_->RedirectUrl("abc.txt", 1), {.followRedirects = true}).finalUrl,
              server_->BaseUrl() + "/00000000000000000000000000000000/abc.txt");
}

TEST(PackageServerWanLink, RatesParseWithBinarySuffixesAndRefuseTheRest) {
    int64_t rate = 0;
    EXPECT_TRUE(PackageServer::WanLink::ParseRate("8M", rate));
    EXPECT_EQ(rate, 8 << 20);
    EXPECT_TRUE(PackageServer::WanLink::ParseRate("512k", rate));
    EXPECT_EQ(rate, 512 << 10);
    EXPECT_TRUE(PackageServer::WanLink::ParseRate("1G", rate));
    EXPECT_EQ(rate, int64_t{1} << 30);
    EXPECT_TRUE(PackageServer::WanLink::ParseRate("1000", rate));
    EXPECT_EQ(rate, 1000);
    for (const char* bad : {"", "M", "0", "0M", "-1", "8MB", "8 M", "1.5M", "x", "999999999999999999G"}) {
        rate = 7;
        EXPECT_FALSE(PackageServer::WanLink::ParseRate(bad, rate)) << bad;
        EXPECT_EQ(rate, 7) << "left alone on failure: " << bad;
    }
}

TEST(PackageServerWanLink, BookingsQueueOnOneLinkAndIdleTimeIsNotSavedUp) {
    using Clock = PackageServer::WanLink::Clock;
    PackageServer::WanLink link;
    const auto unlimited = link.Book(int64_t{1} << 30, false);
    EXPECT_LE(unlimited, Clock::now()) << "no rate: never a wait";

    link.SetRate(1 << 20);
    const auto before = Clock::now();
    const auto first = link.Book(1 << 20, false);
    EXPECT_GE(first - before, 1s) << "1 MiB at 1 MiB/s";
    const auto second = link.Book(512 << 10, false);
    EXPECT_GE(second - first, 500ms) << "a second body queues behind the first, as on one link";

    PackageServer::WanLink idle;
    idle.SetRate(1 << 20);
    idle.Book(1024, false);
    std::this_thread::sleep_for(150ms);
    const auto late = Clock::now();
    const auto resumed = idle.Book(1024, true);
    EXPECT_GE(resumed, late - PackageServer::WanLink::kSlack) << "a stream is owed its lateness up to the slack only";
    EXPECT_LT(resumed, Clock::now()) << "a late stream catches up at once";
    const auto fresh = Clock::now();
    EXPECT_GE(idle.Book(1024, false), fresh) << "a new body gets no credit for the idle link";
}

// Rates and delays are checked as lower bounds (a WAN link can never be beaten) with upper bounds
// loose enough for a loaded machine, so a slow runner cannot make these fail.
TEST_F(PackageServerTest, RateHoldsOneBodyToTheLinkSpeed) {
    std::string big(2 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 131u + i / 4093u) & 0xffu);
    Write("big.bin", big);
    server_->SetRate(1 << 20);
    const auto start = std::chrono::steady_clock::now();
    Answer answer = Get(Url("big.bin"));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(answer.result, CURLE_OK);
    EXPECT_TRUE(answer.body == big) << "pacing delays the body, never changes it";
    EXPECT_GE(took, 1900ms) << "2 MiB at 1 MiB/s";
    EXPECT_LT(took, 8s) << "the rate is far below what was asked";

    server_->SetRate(0);
    const auto again = std::chrono::steady_clock::now();
    EXPECT_TRUE(Get(Url("big.bin")).body == big);
    EXPECT_LT(std::chrono::steady_clock::now() - again, 1500ms) << "rate 0 switches the limit off";
}

TEST_F(PackageServerTest, RateIsSharedByAllConnectionsNotGivenToEach) {
    std::string big(2 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 29u + i / 7919u) & 0xffu);
    Write("big.bin", big);
    server_->SetRate(1 << 20);
    Answer first, second;
    const auto start = std::chrono::steady_clock::now();
    std::thread other([&] { first = Get(Url("big.bin"), {.range = "0-1048575"}); });
    second = Get(Url("big.bin"), {.range = "1048576-"});
    other.join();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(first.body == big.substr(0, 1 << 20));
    EXPECT_TRUE(second.body == big.substr(1 << 20));
    EXPECT_GE(took, 1900ms) << "two halves of 1 MiB at 1 MiB/s over one link: a per-connection rate would take 1 s";
}

TEST_F(PackageServerTest, LatencyDelaysConnectionSetUpAndEveryAnswer) {
    server_->SetLatencyMs(50);
    Answer head = Get(Url(), {.head = true});
    EXPECT_EQ(head.status, 200);
    EXPECT_GE(head.firstByteSeconds, 0.095) << "a new connection: set-up and answer, one round trip each";

    // A kept-alive connection pays only the answer's round trip.
    CURL* curl = curl_easy_init();
    ASSERT_NE(curl, nullptr);
    std::string body;
    curl_easy_setopt(curl, CURLOPT_URL, Url().c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    double firstByte[2] = {0, 0};
    long connects[2] = {-1, -1};
    for (int i = 0; i < 2; ++i) {
        body.clear();
        EXPECT_EQ(curl_easy_perform(curl), CURLE_OK);
        curl_easy_getinfo(curl, CURLINFO_STARTTRANSFER_TIME, &firstByte[i]);
        curl_easy_getinfo(curl, CURLINFO_NUM_CONNECTS, &connects[i]);
        EXPECT_TRUE(body == content_);
    }
    curl_easy_cleanup(curl);
    EXPECT_EQ(connects[0], 1);
    EXPECT_GE(firstByte[0], 0.095);
    EXPECT_EQ(connects[1], 0) << "the second request was meant to reuse the connection";
    EXPECT_GE(firstByte[1], 0.048) << "first byte not before one round trip";
}

TEST(PackageServerTls, CertificatesThatCannotBeUsedFailTheStart) {
    testsupport::TempDir temp;
    PackageServer::Options options;
    options.root = temp.path().string();
    options.certFile = (temp.path() / "missing-cert.pem").string();
    options.keyFile = (temp.path() / "missing-key.pem").string();
    PackageServer::Server server(options);
    EXPECT_FALSE(server.Start()) << "HTTPS was asked for: never plain HTTP instead";
}

}  // namespace
