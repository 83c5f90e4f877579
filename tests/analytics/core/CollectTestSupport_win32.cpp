#include "tests/analytics/core/CollectTestSupport.h"

#include <ctime>

#include "tests/support/ScopedEnv.h"
#include "tools/collector/WinsockUse_win32.h"

namespace collecttest {
namespace {

class UniqueSocket {
public:
    explicit UniqueSocket(SOCKET s) : socket_(s) {}
    ~UniqueSocket() {
        if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;
    SOCKET Get() const { return socket_; }

private:
    SOCKET socket_;
};

}  // namespace

std::uint16_t UnusedPort() {
    const collector::WinsockUse winsock;  // for the length of the call
    if (!winsock.Started()) {
        ADD_FAILURE() << "WSAStartup failed";
        return 0;
    }
    const UniqueSocket s(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (s.Get() == INVALID_SOCKET || ::bind(s.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(s.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "cannot reserve a port (Winsock error " << ::WSAGetLastError() << ")";
        return 0;
    }
    return ntohs(address.sin_port);
}

void UseTestTimeZone() {
    testsupport::ScopedEnv::Set("TZ", "CST-8");
    ::_tzset();
}

void ExpectPermissions(const std::filesystem::path& path, unsigned) {
    std::error_code error;
    EXPECT_TRUE(std::filesystem::exists(path, error)) << path;
}

}  // namespace collecttest
