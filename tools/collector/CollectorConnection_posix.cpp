#include "tools/collector/CollectorConnection.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace collector {

struct TlsServerContext {
    SSL_CTX* ctx = nullptr;
    ~TlsServerContext() {
        if (ctx) SSL_CTX_free(ctx);
    }
};

void TlsServerContextDeleter::operator()(TlsServerContext* context) const noexcept { delete context; }

TlsServerContextPtr LoadTlsServerContext(const std::string& certificateChainFile, const std::string& privateKeyFile,
                                         std::string* error) {
    TlsServerContextPtr context(new TlsServerContext);
    context->ctx = SSL_CTX_new(TLS_server_method());
    if (!context->ctx || SSL_CTX_use_certificate_chain_file(context->ctx, certificateChainFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context->ctx, privateKeyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        ERR_clear_error();
        if (error) *error = "cannot load the TLS certificate or key";
        return nullptr;
    }
    return context;
}

struct CollectorConnection::Native {
    int fd = -1;
    SSL* ssl = nullptr;
    ~Native() {
        if (ssl) SSL_free(ssl);
        if (fd >= 0) ::close(fd);
    }
};

CollectorConnection::CollectorConnection(SocketHandle socket, TlsServerContext* tls)
    : native_(std::make_unique<Native>()) {
    native_->fd = static_cast<int>(socket);
    if (tls) {
        native_->ssl = SSL_new(tls->ctx);
        if (native_->ssl && SSL_set_fd(native_->ssl, native_->fd) != 1) {
            SSL_free(native_->ssl);
            native_->ssl = nullptr;
        }
        if (!native_->ssl) Abort();  // Handshake() then fails
    }
}

CollectorConnection::~CollectorConnection() = default;

bool CollectorConnection::Handshake() {
    if (!native_->ssl) return true;
    if (SSL_accept(native_->ssl) == 1) return true;
    ERR_clear_error();  // the thread's OpenSSL error queue must not leak into the next connection
    return false;
}

std::ptrdiff_t CollectorConnection::Read(char* buffer, std::size_t size) {
    if (native_->ssl) {
        const int n = SSL_read(native_->ssl, buffer, static_cast<int>(size));
        if (n > 0) return n;
        return SSL_get_error(native_->ssl, n) == SSL_ERROR_ZERO_RETURN ? 0 : -1;
    }
    for (;;) {
        const ssize_t n = ::recv(native_->fd, buffer, size, 0);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

bool CollectorConnection::WriteAll(std::string_view data) {
    while (!data.empty()) {
        ssize_t n;
        if (native_->ssl) {
            const int w = SSL_write(native_->ssl, data.data(), static_cast<int>(data.size()));
            n = w > 0 ? w : -1;
        } else {
            n = ::send(native_->fd, data.data(), data.size(), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
        }
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A failure only means the peer is already gone, which is what Abort wants anyway.
void CollectorConnection::Abort() { ::shutdown(native_->fd, SHUT_RDWR); }

}  // namespace collector
