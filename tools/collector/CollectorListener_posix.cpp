#include "tools/collector/CollectorListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace collector {
namespace {

constexpr int kSocketTimeoutSeconds = 10;  // the connections' read and write limit

std::string SystemError(const char* call) { return std::string(call) + ": " + std::strerror(errno); }

}  // namespace

// The listening descriptor and a self-pipe: a byte in the pipe wakes the accept poll.
struct CollectorListener::Native {
    int listenFd = -1;
    int wakeFds[2] = {-1, -1};
    ~Native() {
        for (int fd : {listenFd, wakeFds[0], wakeFds[1]})
            if (fd >= 0) ::close(fd);
    }
};

CollectorListener::CollectorListener() = default;

CollectorListener::~CollectorListener() { Close(); }

bool CollectorListener::Listen(std::uint16_t port, std::string* error) {
    const auto fail = [&](std::string why) {
        if (error) *error = std::move(why);
        native_.reset();
        return false;
    };
    if (native_) return fail("already listening");
    // A TLS write to a peer that has gone raises SIGPIPE (OpenSSL writes with plain write()).
    std::signal(SIGPIPE, SIG_IGN);

    native_ = std::make_unique<Native>();
    native_->listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (native_->listenFd < 0) return fail(SystemError("socket"));
    // A restarted collector gets its old port back although the old connections linger.
    const int one = 1;
    if (::setsockopt(native_->listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0)
        return fail(SystemError("setsockopt"));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(native_->listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return fail(SystemError("bind"));
    if (::listen(native_->listenFd, 64) != 0) return fail(SystemError("listen"));
    socklen_t length = sizeof address;
    if (::getsockname(native_->listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return fail(SystemError("getsockname"));
    if (::pipe2(native_->wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) return fail(SystemError("pipe"));
    port_ = ntohs(address.sin_port);
    return true;
}

SocketHandle CollectorListener::Accept() {
    if (!native_) return kNoSocket;
    for (;;) {
        pollfd fds[2] = {{native_->listenFd, POLLIN, 0}, {native_->wakeFds[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return kNoSocket;
        }
        if (fds[1].revents) return kNoSocket;  // the byte stays: later calls return at once too
        if (!(fds[0].revents & POLLIN)) continue;
        const int fd = ::accept4(native_->listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;  // the client gave up before we took it, or a transient shortage
        const timeval timeout{kSocketTimeoutSeconds, 0};
        if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0 ||
            ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) != 0) {
            ::close(fd);  // without time-outs a silent client could hold its worker for ever
            continue;
        }
        return fd;
    }
}

void CollectorListener::Wake() {
    if (!native_) return;
    const char byte = 1;
    // The pipe is non-blocking: when it is full, a wake-up is pending already.
    [[maybe_unused]] const ssize_t ignored = ::write(native_->wakeFds[1], &byte, 1);
}

void CollectorListener::Close() {
    native_.reset();
    port_ = 0;
}

}  // namespace collector
