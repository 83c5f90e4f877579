// POSIX specifics of the collector's sockets: what a started child process can inherit.
#include <gtest/gtest.h>

#include <fcntl.h>

#include "tools/collector/CollectorConnection.h"
#include "tools/collector/CollectorListener.h"
#include "tools/collector/tests/CollectorSocketTest.h"

namespace collectortest {
namespace {

TEST(CollectorSocketsPosix, AcceptedSocketsCloseOnExec) {
    collector::CollectorListener listener;
    std::string error;
    ASSERT_TRUE(listener.Listen(0, &error)) << error;
    SilentClient client = ConnectSilently("http://127.0.0.1:" + std::to_string(listener.Port()));
    ASSERT_TRUE(client);
    const collector::SocketHandle socket = listener.Accept();
    ASSERT_NE(socket, collector::kNoSocket);
    collector::CollectorConnection owner(socket, nullptr);
    const int flags = ::fcntl(static_cast<int>(socket), F_GETFD);
    ASSERT_GE(flags, 0);
    EXPECT_TRUE(flags & FD_CLOEXEC);
}

}  // namespace
}  // namespace collectortest
