#include "tools/collector/CollectorConnection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace collector {

CollectorConnection::CollectorConnection(int fd, SSL_CTX* tls) : fd_(fd) {
    if (tls) {
        ssl_ = SSL_new(tls);
        if (ssl_ && SSL_set_fd(ssl_, fd_) != 1) {
            SSL_free(ssl_);
            ssl_ = nullptr;
        }
        if (!ssl_) Abort();  // Handshake() then fails
    }
}

CollectorConnection::~CollectorConnection() {
    if (ssl_) SSL_free(ssl_);
    ::close(fd_);
}

bool CollectorConnection::Handshake() { return ssl_ == nullptr ? true : SSL_accept(ssl_) == 1; }

ssize_t CollectorConnection::Read(char* buffer, std::size_t size) {
    if (ssl_) {
        const int n = SSL_read(ssl_, buffer, static_cast<int>(size));
        if (n > 0) return n;
        return SSL_get_error(ssl_, n) == SSL_ERROR_ZERO_RETURN ? 0 : -1;
    }
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, size, 0);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

bool CollectorConnection::WriteAll(std::string_view data) {
    while (!data.empty()) {
        ssize_t n;
        if (ssl_) {
            const int w = SSL_write(ssl_, data.data(), static_cast<int>(data.size()));
            n = w > 0 ? w : -1;
        } else {
            n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
        }
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void CollectorConnection::Abort() { ::shutdown(fd_, SHUT_RDWR); }

}  // namespace collector
