// CurlClient's TLS verification against the package server: Linux only, where the in-process
// server can serve TLS.
#include <gtest/gtest.h>

#include <cstdlib>

#include "download/CurlClient.h"
#include "tests/download/DownloadTestSupport.h"

using namespace DownloadTest;

namespace {

// Progress is not what these tests look at.
void IgnoreProgress(void*, double, double) {}

TEST(CurlClientTls, CurlClient_VerifiesPeerAgainstEnvironmentBundle) {
    TempDir ca, root, out;
    ASSERT_TRUE(MakeTestCa(ca.Path()));
    WriteRandomFile(root.File("pkg.bin"), 300000, 3);
    TestServer server(root.Path(), ca.File("server.pem"), ca.File("server.key"));

    ::unsetenv("CURL_CA_BUNDLE");
    ::unsetenv("SSL_CERT_FILE");
    CurlClient untrusted(Wide(server->FileUrl("pkg.bin")), out.WFile("a.bin"), nullptr, &IgnoreProgress);
    EXPECT_EQ(untrusted.Start(), CurlClient::kErrorUnknownLength);  // the header request was refused
    EXPECT_TRUE(server.Gets().empty());

    ::setenv("CURL_CA_BUNDLE", ca.File("ca.pem").c_str(), 1);
    CurlClient trusted(Wide(server->FileUrl("pkg.bin")), out.WFile("b.bin"), nullptr, &IgnoreProgress);
    EXPECT_EQ(trusted.Start(), 0);
    EXPECT_TRUE(SameContent(root.File("pkg.bin"), out.File("b.bin")));
    ::unsetenv("CURL_CA_BUNDLE");
}

}  // namespace
