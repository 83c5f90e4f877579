#include "tools/collector/CollectorConnection.h"

#include "utils/UniqueHandle_win32.h"
#include "utils/WindowsApi_win32.h"

#include <winsock2.h>

#include <climits>

namespace collector {
namespace {

// A stuck client never holds a worker for long (the same limit as the POSIX sockets' time-outs).
constexpr DWORD kTimeoutMilliseconds = 10 * 1000;

ULONG ChunkOf(std::size_t size) { return static_cast<ULONG>(size < INT_MAX ? size : INT_MAX); }

}  // namespace

// The Windows build links no TLS library: it has no server certificate to offer.
struct TlsServerContext {};

void TlsServerContextDeleter::operator()(TlsServerContext* context) const noexcept { delete context; }

TlsServerContextPtr LoadTlsServerContext(const std::string&, const std::string&, std::string* error) {
    if (error) *error = "HTTPS is not available in the Windows build of the collector (it has no TLS library)";
    return nullptr;
}

// Neither shutdown() nor the socket time-outs reliably end a blocking recv that another thread
// is in, so every transfer is overlapped and waits for its completion, the abort event or the
// time-out, whichever comes first; an abandoned transfer is cancelled and its end awaited before
// its buffer goes.
struct CollectorConnection::Native {
    SOCKET socket = INVALID_SOCKET;
    bool tlsAsked = false;  // a TLS context was passed in: never serve plain HTTP instead
    Utils::UniqueHandle abortEvent;  // set by Abort, never reset
    Utils::UniqueHandle ioEvent;     // the current transfer's completion

    ~Native() {
        if (socket != INVALID_SOCKET) ::closesocket(socket);
    }

    // One overlapped receive (`send` false) or send: the bytes moved, 0 for an orderly end of a
    // receive, -1 for an error, a time-out or an abort.
    std::ptrdiff_t Transfer(bool send, char* data, std::size_t size) {
        if (!ioEvent || !abortEvent || !::ResetEvent(ioEvent.Get())) return -1;
        WSABUF buffer{ChunkOf(size), data};
        WSAOVERLAPPED overlapped{};
        overlapped.hEvent = ioEvent.Get();
        DWORD moved = 0, flags = 0;
        const int started = send ? ::WSASend(socket, &buffer, 1, nullptr, 0, &overlapped, nullptr)
                                 : ::WSARecv(socket, &buffer, 1, nullptr, &flags, &overlapped, nullptr);
        if (started != 0 && ::WSAGetLastError() != WSA_IO_PENDING) return -1;
        // Even a transfer that completed at once signals its event, so one wait covers both.
        const HANDLE events[2] = {abortEvent.Get(), ioEvent.Get()};
        const DWORD which = ::WaitForMultipleObjects(2, events, FALSE, kTimeoutMilliseconds);
        if (which != WAIT_OBJECT_0 + 1) {
            // Aborted, timed out or the wait failed. The cancel may find the transfer finished
            // already; either way the wait below returns once the system is done with the buffer.
            ::CancelIoEx(reinterpret_cast<HANDLE>(socket), &overlapped);
            ::WSAGetOverlappedResult(socket, &overlapped, &moved, TRUE, &flags);
            return -1;
        }
        if (!::WSAGetOverlappedResult(socket, &overlapped, &moved, FALSE, &flags)) return -1;
        return static_cast<std::ptrdiff_t>(moved);
    }
};

CollectorConnection::CollectorConnection(SocketHandle socket, TlsServerContext* tls)
    : native_(std::make_unique<Native>()) {
    native_->socket = static_cast<SOCKET>(socket);
    native_->tlsAsked = tls != nullptr;
    // Without either event every transfer fails at once (Transfer checks), which ends the
    // connection as a failed handshake or read would.
    native_->abortEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    native_->ioEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

CollectorConnection::~CollectorConnection() = default;

bool CollectorConnection::Handshake() { return !native_->tlsAsked; }

std::ptrdiff_t CollectorConnection::Read(char* buffer, std::size_t size) { return native_->Transfer(false, buffer, size); }

bool CollectorConnection::WriteAll(std::string_view data) {
    while (!data.empty()) {
        // WSASend does not write to the buffer; the cast only meets its signature.
        const std::ptrdiff_t n = native_->Transfer(true, const_cast<char*>(data.data()), data.size());
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void CollectorConnection::Abort() {
    if (native_->abortEvent) ::SetEvent(native_->abortEvent.Get());
    // Also tells the peer at once; a failure only means it is already gone.
    ::shutdown(native_->socket, SD_BOTH);
}

}  // namespace collector
