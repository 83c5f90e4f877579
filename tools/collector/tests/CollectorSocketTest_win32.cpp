// Windows specifics of the collector's sockets: what a started child process can inherit, and
// HTTPS refused by a build without a TLS library.
#include <gtest/gtest.h>

#include "tools/collector/TestCollector.h"
#include "tools/collector/tests/CollectorSocketTest.h"

#include "utils/WindowsApi_win32.h"

namespace collectortest {
namespace {

TEST(CollectorSocketsWindows, AcceptedSocketsAreNotInherited) {
    AcceptedClient accepted;
    ASSERT_NO_FATAL_FAILURE(AcceptSilentClient(accepted));
    DWORD flags = 0;
    ASSERT_TRUE(::GetHandleInformation(reinterpret_cast<HANDLE>(accepted.socket), &flags));
    EXPECT_FALSE(flags & HANDLE_FLAG_INHERIT);
}

TEST(CollectorSocketsWindows, TlsIsRefusedWithAReason) {
    std::string error;
    EXPECT_FALSE(collector::LoadTlsServerContext("chain.pem", "key.pem", &error));
    EXPECT_NE(error.find("Windows"), std::string::npos) << error;

    collector::TestCollector server;
    EXPECT_FALSE(server.Start(0, collector::TlsFiles{"chain.pem", "key.pem"}, &error));
    EXPECT_NE(error.find("HTTPS is not available"), std::string::npos) << error;
}

}  // namespace
}  // namespace collectortest
