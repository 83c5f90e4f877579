#pragma once
// Helpers of the collector's socket tests: a libcurl client, which behaves the same on every
// system, so the tests exercise only the collector's own socket layer.
#include <chrono>
#include <memory>
#include <string>

#include <curl/curl.h>

#include "tools/collector/CollectorConnection.h"
#include "tools/collector/CollectorListener.h"

namespace collectortest {

struct Answer {
    CURLcode result = CURLE_OK;
    long status = 0;
    std::string body;
};

// One request (GET without a body, POST with one) with a whole-request time-out.
Answer Request(const std::string& url, const std::string* postBody = nullptr,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// A client that connects and then says nothing while it lives.
struct EasyCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using SilentClient = std::unique_ptr<CURL, EasyCleanup>;
SilentClient ConnectSilently(const std::string& url);

// A listener with one silent client accepted, for tests of what the accepted socket carries.
struct AcceptedClient {
    collector::CollectorListener listener;
    SilentClient client;
    collector::SocketHandle socket = collector::kNoSocket;
    std::unique_ptr<collector::CollectorConnection> owner;  // closes the socket
};
// Listens on a free port, connects a silent client and accepts it into `accepted`. A failure is
// a fatal test failure: call it under ASSERT_NO_FATAL_FAILURE.
void AcceptSilentClient(AcceptedClient& accepted);

}  // namespace collectortest
