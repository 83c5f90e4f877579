#pragma once
// One accepted connection of the test collector, plain or TLS, and the server-side TLS settings
// its connections share. The socket layer is the collector's only system-specific part: these
// declarations are shared, their definitions come from the system's own source.
//
// Read and WriteAll give up after about ten seconds without progress, so a stuck client never
// holds a worker for long.
//
// Threads: Handshake/Read/WriteAll run on the connection's worker thread; Abort may be called
// from any thread to unblock them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace collector {

// A native stream socket in a portable shape: a descriptor on POSIX systems, a SOCKET on
// Windows. Both fit in a pointer-sized integer, and both systems' "no socket" value is -1 here.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// A certificate chain and private key loaded for serving TLS. Opaque; null means plain HTTP.
struct TlsServerContext;
struct TlsServerContextDeleter {
    void operator()(TlsServerContext* context) const noexcept;
};
using TlsServerContextPtr = std::unique_ptr<TlsServerContext, TlsServerContextDeleter>;

// Loads PEM files for serving TLS. Null with `error` set when they cannot be loaded, or when the
// build has no TLS server at all (Windows builds), so a caller never serves plain HTTP thinking
// it serves HTTPS.
TlsServerContextPtr LoadTlsServerContext(const std::string& certificateChainFile, const std::string& privateKeyFile,
                                         std::string* error);

class CollectorConnection {
public:
    // Takes ownership of `socket`. With a TLS context the handshake runs in Handshake(); the
    // context must outlive the connection.
    CollectorConnection(SocketHandle socket, TlsServerContext* tls);
    ~CollectorConnection();
    CollectorConnection(const CollectorConnection&) = delete;
    CollectorConnection& operator=(const CollectorConnection&) = delete;

    bool Handshake();                                     // true at once for plain connections
    std::ptrdiff_t Read(char* buffer, std::size_t size);  // >0 bytes, 0 end of stream, <0 error or time-out
    bool WriteAll(std::string_view data);
    void Abort();                                         // shuts the socket down both ways

private:
    struct Native;
    std::unique_ptr<Native> native_;
};

}  // namespace collector
