#pragma once
// One accepted connection of the test collector, plain or TLS. Owns its socket (and TLS state).
// Read/WriteAll run on the connection's worker thread; Abort may be called from any thread to
// unblock them.
#include <openssl/ssl.h>

#include <cstddef>
#include <string_view>
#include <sys/types.h>

namespace collector {

class CollectorConnection {
public:
    // Takes ownership of `fd`. With a TLS context the handshake runs in Handshake().
    CollectorConnection(int fd, SSL_CTX* tls);
    ~CollectorConnection();
    CollectorConnection(const CollectorConnection&) = delete;
    CollectorConnection& operator=(const CollectorConnection&) = delete;

    bool Handshake();                             // true at once for plain connections
    ssize_t Read(char* buffer, std::size_t size);  // >0 bytes, 0 end of stream, <0 error or time-out
    bool WriteAll(std::string_view data);
    void Abort();                                  // shuts the socket down both ways

private:
    int fd_;
    SSL* ssl_ = nullptr;
};

}  // namespace collector
