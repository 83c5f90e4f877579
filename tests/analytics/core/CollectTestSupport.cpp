#include "tests/analytics/core/CollectTestSupport.h"

#include <curl/curl.h>

#include <cstdlib>

#include "analytics/core/Sdk.h"
#include "tests/support/ScopedEnv.h"

namespace collecttest {
namespace {

// Once per test program, before any thread: libcurl's global state and a fixed time zone (UTC+8,
// written POSIX-style so no zone database is needed) for the date-time texts.
class CollectEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        UseTestTimeZone();
        // The records must reach 127.0.0.1 directly, whatever proxy the machine names.
        for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
            testsupport::ScopedEnv::Set(name, nullptr);
        testsupport::ScopedEnv::Set("CURL_CA_BUNDLE", nullptr);
        testsupport::ScopedEnv::Set("SSL_CERT_FILE", nullptr);
    }
    void TearDown() override { curl_global_cleanup(); }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new CollectEnvironment);

}  // namespace

StderrCapture::StderrCapture() { ::testing::internal::CaptureStderr(); }

StderrCapture::~StderrCapture() {
    if (active_) ::testing::internal::GetCapturedStderr();
}

std::string StderrCapture::Take() {
    if (!active_) return {};
    active_ = false;
    return ::testing::internal::GetCapturedStderr();
}

void CollectorTest::SetUp() {
    std::string error;
    ASSERT_TRUE(collector_.Start(0, std::nullopt, &error)) << error;
}

void CollectorTest::TearDown() {
    collect::Sdk::Shutdown();
    collector_.Stop();
}

std::string NumberedRecord(int i) { return "{\"n\":" + std::to_string(i) + "}"; }

std::vector<int> NumbersOf(const std::vector<std::string>& records) {
    std::vector<int> numbers;
    for (const std::string& r : records) {
        const auto colon = r.find(':');
        numbers.push_back(colon == std::string::npos ? -1 : std::atoi(r.c_str() + colon + 1));
    }
    return numbers;
}

std::vector<int> Range(int from, int to) {
    std::vector<int> out;
    for (int i = from; i < to; ++i) out.push_back(i);
    return out;
}

}  // namespace collecttest
