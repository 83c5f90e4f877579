// The libcurl downloaders and the proxy the environment names, on every system: a proxy that is
// down fails the download the usual way (1004) with a trace line naming it, and no_proxy sends
// the request direct. (The tests with a real proxy are Linux only: ProxyTest_posix.cpp.)
#include <gtest/gtest.h>

#include <curl/curl.h>

#include "download/CurlProxy.h"
#include "download/CurlSupport.h"
#include "tests/download/AnyDownloader.h"
#include "tests/support/ProxyVariables.h"

using namespace DownloadTest;

namespace {

// "http://127.0.0.1:<port>" where nothing listens: the port of a server that has gone.
std::string DeadProxyUrl(const std::string& root) {
    TestServer gone(root);
    return "http://127.0.0.1:" + std::to_string(gone->Port());
}

class CurlProxyTest : public ::testing::TestWithParam<Kind> {};

TEST_P(CurlProxyTest, ProxyDownFailsTheDownloadWithATraceLineNamingIt) {
    TempDir root, out;
    WriteRandomFile(root.File("pkg.bin"), 200000, 1);
    TestServer server(root.Path());
    const std::string proxy = DeadProxyUrl(root.Path());
    testsupport::ProxyVariables variables;
    variables.Set("http_proxy", "http://user:secret@" + proxy.substr(7));

    TraceCapture trace;
    AnyDownload download(GetParam(), server->FileUrl("pkg.bin"), out.File("pkg.bin"));
    ASSERT_TRUE(download.Run());
    const std::string lines = trace.Finish();
    EXPECT_EQ(download.events.Last().code, DL_CODE_FAIL);
    EXPECT_TRUE(server.Gets().empty() && server.Heads().empty()) << "nothing may bypass the proxy";
    EXPECT_NE(lines.find("proxy " + proxy.substr(7) + " could not be reached"), std::string::npos) << lines;
    EXPECT_EQ(lines.find("secret"), std::string::npos) << "the trace never shows the password";
}

TEST_P(CurlProxyTest, NoProxyHostGoesDirect) {
    TempDir root, out;
    WriteRandomFile(root.File("pkg.bin"), 200000, 2);
    TestServer server(root.Path());
    testsupport::ProxyVariables variables;
    variables.Set("HTTP_PROXY", DeadProxyUrl(root.Path()));
    variables.Set("NO_PROXY", "example.org, 127.0.0.1");

    AnyDownload download(GetParam(), server->FileUrl("pkg.bin"), out.File("pkg.bin"));
    ASSERT_TRUE(download.Run());
    EXPECT_EQ(download.events.Last().code, DL_CODE_SUCCESS);
    EXPECT_TRUE(SameContent(root.File("pkg.bin"), out.File("pkg.bin")));
}

INSTANTIATE_TEST_SUITE_P(Downloaders, CurlProxyTest, ::testing::Values(Kind::Single, Kind::Multi),
                         [](const auto& info) { return info.param == Kind::Single ? "Single" : "Multi"; });

TEST(CurlProxy, DirectTransferIsSetExplicitlyAndNeverBlamesAProxy) {
    testsupport::ProxyVariables variables;
    Download::CurlEasy handle(curl_easy_init());
    ASSERT_TRUE(handle);
    Download::CurlProxy proxy;
    EXPECT_EQ(proxy.Apply(handle.get(), "http://127.0.0.1:9/x"), CURLE_OK);
    EXPECT_TRUE(proxy.Address().IsDirect());
    EXPECT_EQ(proxy.FailureText(handle.get(), CURLE_COULDNT_CONNECT), "");
}

}  // namespace
