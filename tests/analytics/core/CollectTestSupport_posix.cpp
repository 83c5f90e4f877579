#include "tests/analytics/core/CollectTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "tests/support/ScopedEnv.h"

namespace collecttest {

std::uint16_t UnusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        ADD_FAILURE() << "cannot reserve a port";
    if (fd >= 0) ::close(fd);
    return ntohs(address.sin_port);
}

void UseTestTimeZone() {
    testsupport::ScopedEnv::Set("TZ", "CST-8");
    ::tzset();
}

void ExpectPermissions(const std::filesystem::path& path, unsigned mode) {
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
    EXPECT_EQ(st.st_mode & 0777, mode) << path;
}

}  // namespace collecttest
