#pragma once
// Helpers of the collector's socket tests: a libcurl client, which behaves the same on every
// system, so the tests exercise only the collector's own socket layer.
#include <chrono>
#include <memory>
#include <string>

#include <curl/curl.h>

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

}  // namespace collectortest
