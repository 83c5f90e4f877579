// POSIX specifics of the collector's sockets: what a started child process can inherit.
#include <gtest/gtest.h>

#include <fcntl.h>

#include "tools/collector/tests/CollectorSocketTest.h"

namespace collectortest {
namespace {

TEST(CollectorSocketsPosix, AcceptedSocketsCloseOnExec) {
    AcceptedClient accepted;
    ASSERT_NO_FATAL_FAILURE(AcceptSilentClient(accepted));
    const int flags = ::fcntl(static_cast<int>(accepted.socket), F_GETFD);
    ASSERT_GE(flags, 0);
    EXPECT_TRUE(flags & FD_CLOEXEC);
}

}  // namespace
}  // namespace collectortest
