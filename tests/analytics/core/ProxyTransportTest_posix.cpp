// The analytics upload through a real proxy (tinyproxy on a loopback port): the records reach the
// collector through it, no_proxy sends them direct, and a proxy that refuses or is down is named
// on the error stream.
#include <gtest/gtest.h>

#include "analytics/core/HttpRequest.h"
#include "analytics/core/RecordSender.h"
#include "tests/analytics/core/CollectTestSupport.h"
#include "tests/support/ProxyVariables.h"
#include "tests/support/TinyProxy.h"

namespace {

class ProxyTransportTest : public collecttest::CollectorTest {
protected:
    testsupport::ProxyVariables variables_;
};

TEST_F(ProxyTransportTest, UploadGoesThroughTheProxyUnlessNoProxyExemptsTheCollector) {
    testsupport::TinyProxy proxy;
    variables_.Set("HTTP_PROXY", proxy.Url());
    const std::string url = collector_.Url("/collect?project=pc");
    EXPECT_TRUE(collect::RecordSender(url).Send("[{\"a\":1}]"));
    ASSERT_EQ(collector_.Requests().size(), 1u);
    EXPECT_EQ(collector_.Requests()[0].batchText, "[{\"a\":1}]");
    EXPECT_EQ(proxy.Count("POST " + url), 1) << proxy.Log();

    variables_.Set("no_proxy", "127.0.0.1");
    EXPECT_TRUE(collect::RecordSender(url).Send("[{\"a\":2}]"));
    EXPECT_EQ(collector_.Requests().size(), 2u);
    EXPECT_EQ(proxy.Count("POST " + url), 1) << "no_proxy: the second upload went direct";
}

TEST_F(ProxyTransportTest, CredentialsFromTheProxyUrlAndA407WithoutThem) {
    testsupport::TinyProxy proxy("quorvex", "secret");
    const std::string where = "127.0.0.1:" + std::to_string(proxy.Port());

    variables_.Set("http_proxy", "http://quorvex:secret@" + where);
    EXPECT_TRUE(collect::RecordSender(collector_.Url()).Send("[{\"a\":1}]"));
    EXPECT_EQ(collector_.Requests().size(), 1u);

    variables_.Set("http_proxy", "http://" + where);
    collecttest::StderrCapture stderrText;
    const collect::HttpResponse refused = collect::HttpRequest(collector_.Url(), "x=1").Perform();
    const std::string text = stderrText.Take();
    // tinyproxy may close before it has read the body: then libcurl reports a send failure (-1)
    // rather than the status, and the proxy's text stands in for libcurl's.
    EXPECT_NE(refused.code, 200);
    if (refused.code == -1) EXPECT_NE(refused.body.find("proxy " + where + " refused the request"), std::string::npos);
    EXPECT_NE(text.find("proxy " + where + " refused the request (407"), std::string::npos) << text;
    EXPECT_EQ(collector_.Requests().size(), 1u);
}

TEST_F(ProxyTransportTest, ProxyDownIsAFailedUploadNamingTheProxy) {
    const std::string where = "127.0.0.1:" + std::to_string(testsupport::UnusedLoopbackPort());
    variables_.Set("all_proxy", "http://user:secret@" + where);
    collecttest::StderrCapture stderrText;
    const collect::HttpResponse failed = collect::HttpRequest(collector_.Url(), "x=1").Perform();
    const std::string text = stderrText.Take();
    EXPECT_EQ(failed.code, -1);
    EXPECT_NE(failed.body.find("proxy " + where + " could not be reached"), std::string::npos) << failed.body;
    EXPECT_NE(text.find("proxy " + where), std::string::npos) << text;
    EXPECT_EQ(text.find("secret"), std::string::npos);
    EXPECT_TRUE(collector_.Requests().empty());
}

}  // namespace
