// The collector's socket layer on its own and under the collector: accepting, waking, aborting
// blocked reads, dropping, restarting on the same port. The same tests run on every system.
#include "tools/collector/tests/CollectorSocketTest.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "tools/collector/CollectorConnection.h"
#include "tools/collector/CollectorListener.h"
#include "tools/collector/TestCollector.h"

namespace collectortest {
namespace {

size_t Append(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// libcurl's global state, once per program before any test thread.
class CurlEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(curl_global_init(CURL_GLOBAL_DEFAULT), CURLE_OK); }
    void TearDown() override { curl_global_cleanup(); }
};
const auto* const kCurl = ::testing::AddGlobalTestEnvironment(new CurlEnvironment);

}  // namespace

Answer Request(const std::string& url, const std::string* postBody, std::chrono::milliseconds timeout) {
    Answer answer;
    SilentClient curl(curl_easy_init());
    if (!curl) {
        answer.result = CURLE_FAILED_INIT;
        return answer;
    }
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &answer.body);
    if (postBody) {
        curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, postBody->data());
        curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE, static_cast<long>(postBody->size()));
    }
    answer.result = curl_easy_perform(curl.get());
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &answer.status);
    return answer;
}

SilentClient ConnectSilently(const std::string& url) {
    SilentClient curl(curl_easy_init());
    if (!curl) return curl;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl.get(), CURLOPT_CONNECT_ONLY, 1L);
    if (curl_easy_perform(curl.get()) != CURLE_OK) curl.reset();
    return curl;
}

void AcceptSilentClient(AcceptedClient& accepted) {
    std::string error;
    ASSERT_TRUE(accepted.listener.Listen(0, &error)) << error;
    accepted.client = ConnectSilently("http://127.0.0.1:" + std::to_string(accepted.listener.Port()));
    ASSERT_TRUE(accepted.client);
    accepted.socket = accepted.listener.Accept();
    ASSERT_NE(accepted.socket, collector::kNoSocket);
    accepted.owner = std::make_unique<collector::CollectorConnection>(accepted.socket, nullptr);
}

namespace {

using namespace std::chrono_literals;
using collector::CollectorConnection;
using collector::CollectorListener;
using collector::kNoSocket;
using collector::SocketHandle;
using collector::TestCollector;

std::string Base(const CollectorListener& listener) { return "http://127.0.0.1:" + std::to_string(listener.Port()); }

TEST(CollectorListener, WakeEndsABlockedAcceptAndEveryLaterOne) {
    CollectorListener listener;
    std::string error;
    ASSERT_TRUE(listener.Listen(0, &error)) << error;
    EXPECT_NE(listener.Port(), 0);

    auto accepted = std::async(std::launch::async, [&] { return listener.Accept(); });
    EXPECT_EQ(accepted.wait_for(200ms), std::future_status::timeout) << "Accept returned with no client";
    listener.Wake();
    ASSERT_EQ(accepted.wait_for(5s), std::future_status::ready) << "Wake did not end the blocked Accept";
    EXPECT_EQ(accepted.get(), kNoSocket);
    EXPECT_EQ(listener.Accept(), kNoSocket);  // at once, not blocking
}

TEST(CollectorListener, RefusesAPortInUse) {
    CollectorListener first, second;
    std::string error;
    ASSERT_TRUE(first.Listen(0, &error)) << error;
    EXPECT_FALSE(second.Listen(first.Port(), &error));
    EXPECT_FALSE(error.empty());
}

// A request in, an answer out, through one accepted connection; then a reader blocked on a
// silent client is released by Abort from another thread.
TEST(CollectorConnection, CarriesARequestAndItsAnswerAndAbortReleasesABlockedRead) {
    CollectorListener listener;
    std::string error;
    ASSERT_TRUE(listener.Listen(0, &error)) << error;

    auto client = std::async(std::launch::async, [url = Base(listener) + "/x"] { return Request(url); });
    const SocketHandle socket = listener.Accept();
    ASSERT_NE(socket, kNoSocket);
    {
        CollectorConnection connection(socket, nullptr);
        ASSERT_TRUE(connection.Handshake());
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const std::ptrdiff_t n = connection.Read(buffer, sizeof buffer);
            ASSERT_GT(n, 0);
            request.append(buffer, static_cast<size_t>(n));
        }
        EXPECT_EQ(request.rfind("GET /x HTTP/1.1\r\n", 0), 0u) << request;
        EXPECT_TRUE(connection.WriteAll("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello"));
    }
    const Answer answer = client.get();
    EXPECT_EQ(answer.result, CURLE_OK);
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "hello");

    SilentClient silent = ConnectSilently(Base(listener));
    ASSERT_TRUE(silent);
    const SocketHandle idle = listener.Accept();
    ASSERT_NE(idle, kNoSocket);
    CollectorConnection connection(idle, nullptr);
    auto read = std::async(std::launch::async, [&] {
        char byte;
        return connection.Read(&byte, 1);
    });
    EXPECT_EQ(read.wait_for(200ms), std::future_status::timeout) << "Read returned before the client sent anything";
    connection.Abort();
    ASSERT_EQ(read.wait_for(5s), std::future_status::ready) << "Abort did not release the blocked Read";
    EXPECT_LE(read.get(), 0);
}

TEST(TestCollectorSockets, AnswersControlsForcedStatusesAndBadBodies) {
    TestCollector server;
    std::string error;
    ASSERT_TRUE(server.Start(0, std::nullopt, &error)) << error;
    const std::string garbage = "not an upload";

    Answer answer = Request(server.Url(), &garbage);
    EXPECT_EQ(answer.result, CURLE_OK);
    EXPECT_EQ(answer.status, 400);

    EXPECT_EQ(Request(server.BaseUrl() + "/_collector/status?code=503&times=1").status, 200);
    EXPECT_EQ(Request(server.Url(), &garbage).status, 503);
    EXPECT_EQ(Request(server.Url(), &garbage).status, 400) << "the forced status was for one upload only";
    EXPECT_EQ(Request(server.Url()).status, 405) << "an upload is a POST";

    answer = Request(server.BaseUrl() + "/_collector/requests");
    EXPECT_EQ(answer.status, 200);
    EXPECT_NE(answer.body.find("\"status\":503"), std::string::npos) << answer.body;
    EXPECT_EQ(server.Requests().size(), 3u);
}

TEST(TestCollectorSockets, DropsAConnectionWithoutAnAnswer) {
    TestCollector server;
    std::string error;
    ASSERT_TRUE(server.Start(0, std::nullopt, &error)) << error;
    server.DropConnections(1);
    const std::string body = "data_list=&gzip=1";
    const Answer dropped = Request(server.Url(), &body);
    EXPECT_NE(dropped.result, CURLE_OK);
    EXPECT_EQ(dropped.status, 0);
    ASSERT_TRUE(server.WaitForRequests(1, 5s));
    EXPECT_EQ(server.Requests()[0].status, -1);
    EXPECT_EQ(Request(server.Url(), &body).status, 400) << "only the next upload was to be dropped";
}

TEST(TestCollectorSockets, StopsPromptlyWithSilentAndHeldBackClientsThenRestartsOnItsPort) {
    TestCollector server;
    std::string error;
    ASSERT_TRUE(server.Start(0, std::nullopt, &error)) << error;
    const std::uint16_t port = server.Port();
    server.DelayAnswers(60s);
    std::promise<void> arrived;
    server.SetRequestHook([&](const collector::UploadRequest&) { arrived.set_value(); });
    const std::string body = "data_list=&gzip=1";
    auto held = std::async(std::launch::async, [&] { return Request(server.Url(), &body, 30s); });
    ASSERT_EQ(arrived.get_future().wait_for(5s), std::future_status::ready);
    SilentClient silent = ConnectSilently(server.BaseUrl());
    ASSERT_TRUE(silent);
    std::this_thread::sleep_for(200ms);  // accepted, and its worker waiting for the request

    const auto start = std::chrono::steady_clock::now();
    server.Stop();
    // Well under the sockets' own 10-second time-out: Stop released them.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    ASSERT_EQ(held.wait_for(10s), std::future_status::ready);
    EXPECT_NE(held.get().result, CURLE_OK) << "a held-back upload is abandoned without an answer";
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].status, -1);

    ASSERT_TRUE(server.Start(port, std::nullopt, &error)) << error;
    EXPECT_EQ(server.Port(), port);
    EXPECT_EQ(Request(server.BaseUrl() + "/_collector/normal").status, 200);
}

TEST(TestCollectorSockets, UnusableTlsFilesFailTheStartInsteadOfServingPlainHttp) {
    TestCollector server;
    std::string error;
    EXPECT_FALSE(server.Start(0, collector::TlsFiles{"no-such-chain.pem", "no-such-key.pem"}, &error));
    EXPECT_FALSE(error.empty());
    ASSERT_TRUE(server.Start(0, std::nullopt, &error)) << error;
    EXPECT_EQ(server.BaseUrl().rfind("http://", 0), 0u);
}

}  // namespace
}  // namespace collectortest
