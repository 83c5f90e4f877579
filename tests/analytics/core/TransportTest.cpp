// The upload: gzip + base64 + percent encoding of a batch and the HTTP exchange (TLS is in
// TransportTest_posix.cpp).
#include <gtest/gtest.h>

#include <cstdlib>

#include "analytics/core/HttpRequest.h"
#include "analytics/core/RecordSender.h"
#include "analytics/core/UploadEncoding.h"
#include "tests/analytics/core/CollectTestSupport.h"
#include "tools/collector/UploadDecoder.h"

namespace {

using collect::detail::Base64Encode;
using collect::detail::BuildUploadBody;
using collect::detail::GzipCompress;
using collect::detail::PercentEncode;

TEST(UploadEncoding_Base64, MatchesTheStandardVectors) {
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("f"), "Zg==");
    EXPECT_EQ(Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(Base64Encode("foo"), "Zm9v");
    EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
    EXPECT_EQ(Base64Encode("fooba"), "Zm9vYmE=");
    EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64Encode(std::string("\xFB\xFF\xBF", 3)), "+/+/");
}

TEST(UploadEncoding_Percent, KeepsUnreservedBytesAndEscapesTheRestInUpperCase) {
    EXPECT_EQ(PercentEncode("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(PercentEncode("+/= &%"), "%2B%2F%3D%20%26%25");
    EXPECT_EQ(PercentEncode(std::string("\x00\xFF\xE6", 3)), "%00%FF%E6");
}

TEST(UploadEncoding_Gzip, WritesAGzipMemberAtMaximumCompression) {
    const std::optional<std::string> gz = GzipCompress("[{\"n\":1}]");
    ASSERT_TRUE(gz);
    ASSERT_GE(gz->size(), 18u);
    EXPECT_EQ(static_cast<unsigned char>((*gz)[0]), 0x1F);
    EXPECT_EQ(static_cast<unsigned char>((*gz)[1]), 0x8B);
    EXPECT_EQ((*gz)[2], 8);                                  // deflate
    EXPECT_EQ(static_cast<unsigned char>((*gz)[8]), 2);      // "slowest, best compression"
    EXPECT_EQ(collector::Gunzip(*gz), "[{\"n\":1}]");
}

TEST(UploadEncoding_Body, DecodesBackToTheBatchForEveryPaddingLength) {
    bool sawDoublePadding = false, sawSinglePadding = false, sawNoPadding = false;
    std::string batch = "[";
    for (int i = 0; i < 60; ++i) {
        batch += (i ? "," : "") + std::string("{\"k\":\"") + std::string(i * 7 % 23, 'a' + i % 26) + "\"}";
        const std::string text = batch + "]";
        const std::optional<std::string> body = BuildUploadBody(text);
        ASSERT_TRUE(body);
        ASSERT_EQ(body->rfind("data_list=", 0), 0u);
        ASSERT_EQ(body->substr(body->size() - 7), "&gzip=1");
        const std::string encoded = body->substr(10, body->size() - 17);
        EXPECT_EQ(encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789%"),
                  std::string::npos);
        const std::size_t gzipSize = GzipCompress(text)->size();
        if (gzipSize % 3 == 1) {
            sawDoublePadding = true;
            EXPECT_EQ(encoded.substr(encoded.size() - 6), "%3D%3D");
        } else if (gzipSize % 3 == 2) {
            sawSinglePadding = true;
            EXPECT_EQ(encoded.substr(encoded.size() - 3), "%3D");
            EXPECT_NE(encoded.substr(encoded.size() - 6), "%3D%3D");
        } else {
            sawNoPadding = true;
            EXPECT_NE(encoded.substr(encoded.size() - 3), "%3D");
        }
        const collector::DecodedUpload decoded = collector::DecodeUploadBody(*body);
        ASSERT_TRUE(decoded.ok) << decoded.error;
        EXPECT_EQ(decoded.batchText, text);
    }
    EXPECT_TRUE(sawDoublePadding && sawSinglePadding && sawNoPadding);
}

class TransportTest : public collecttest::CollectorTest {};

TEST_F(TransportTest, PostsAFormToTheUrlAsGivenWithTheSdkUserAgent) {
    const std::string url = collector_.Url("/collect?project=pc&token=a%2Fb");
    EXPECT_TRUE(collect::RecordSender(url).Send("[{\"a\":1}]"));
    ASSERT_EQ(collector_.Requests().size(), 1u);
    const collector::UploadRequest r = collector_.Requests()[0];
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.target, "/collect?project=pc&token=a%2Fb");
    EXPECT_EQ(r.userAgent, "EventCollect CPP SDK 0.7");
    EXPECT_EQ(r.contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(r.batchText, "[{\"a\":1}]");
    EXPECT_EQ(r.body, *BuildUploadBody("[{\"a\":1}]"));
}

TEST_F(TransportTest, ResponseCarriesStatusBodyAndHeaders) {
    collector_.AnswerStatus(503, 1);
    const collect::HttpResponse failed = collect::HttpRequest(collector_.Url(), "x=1").Perform();
    EXPECT_EQ(failed.code, 503);
    EXPECT_EQ(failed.body, "forced status\n");
    EXPECT_EQ(failed.headers.at("Content-Length"), "14");
    EXPECT_EQ(failed.headers.at("HTTP/1.1 503 Service Unavailable"), "present");

    const collect::HttpResponse refused =
        collect::HttpRequest("file:///etc/hostname", "x=1").Perform();
    EXPECT_EQ(refused.code, -1) << "only http and https are allowed";
    EXPECT_FALSE(refused.body.empty());
}

}  // namespace
