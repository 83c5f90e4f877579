#include "tools/collector/CollectorListener.h"

#include "tools/collector/WinsockUse_win32.h"
#include "utils/UniqueHandle_win32.h"

#include <ws2tcpip.h>

namespace collector {
namespace {

std::string SocketError(const char* call) { return std::string(call) + " failed (Winsock error " + std::to_string(::WSAGetLastError()) + ")"; }

void CloseSocket(SOCKET socket) {
    if (socket != INVALID_SOCKET) ::closesocket(socket);
}

// An accepted socket shares the listener's event selection, which also made it non-blocking;
// the connection wants neither (its overlapped transfers wait on their own events), and no child
// process may inherit it.
bool PrepareAccepted(SOCKET socket) {
    u_long blocking = 0;
    return ::WSAEventSelect(socket, nullptr, 0) == 0 && ::ioctlsocket(socket, FIONBIO, &blocking) == 0 &&
           ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
}

}  // namespace

// The listening socket reports pending clients through an event; a second event, set by Wake()
// and never reset, ends every wait from then on.
struct CollectorListener::Native {
    WinsockUse winsock;  // first in, last out: the sockets are closed while Winsock is still up
    SOCKET listenSocket = INVALID_SOCKET;
    Utils::UniqueHandle acceptEvent;
    Utils::UniqueHandle wakeEvent;
    ~Native() { CloseSocket(listenSocket); }
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

    native_ = std::make_unique<Native>();
    if (!native_->winsock.Started()) return fail("WSAStartup failed");
    // Overlapped: accepted sockets inherit it, and the connections' transfers need it.
    native_->listenSocket = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                         WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (native_->listenSocket == INVALID_SOCKET) return fail(SocketError("WSASocket"));
    // No SO_REUSEADDR: on Windows it would let another socket take over a port in use. A
    // restarted collector gets its old port back without it, lingering connections or not.
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(native_->listenSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return fail(SocketError("bind"));
    if (::listen(native_->listenSocket, 64) != 0) return fail(SocketError("listen"));
    int length = sizeof address;
    if (::getsockname(native_->listenSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return fail(SocketError("getsockname"));

    native_->acceptEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    native_->wakeEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!native_->acceptEvent || !native_->wakeEvent)
        return fail("CreateEvent failed (error " + std::to_string(::GetLastError()) + ")");
    if (::WSAEventSelect(native_->listenSocket, native_->acceptEvent.Get(), FD_ACCEPT) != 0)
        return fail(SocketError("WSAEventSelect"));
    port_ = ntohs(address.sin_port);
    return true;
}

SocketHandle CollectorListener::Accept() {
    if (!native_) return kNoSocket;
    // The wake event comes first: when both are set, stopping wins.
    const HANDLE events[2] = {native_->wakeEvent.Get(), native_->acceptEvent.Get()};
    for (;;) {
        const DWORD which = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (which != WAIT_OBJECT_0 + 1) return kNoSocket;  // woken, or the wait itself failed
        // Resets the accept event; Winsock sets it again while more clients are pending.
        WSANETWORKEVENTS happened;
        if (::WSAEnumNetworkEvents(native_->listenSocket, native_->acceptEvent.Get(), &happened) != 0)
            return kNoSocket;
        const SOCKET client = ::accept(native_->listenSocket, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;  // not ready yet, or the client gave up already
        if (!PrepareAccepted(client)) {
            CloseSocket(client);
            continue;
        }
        return static_cast<SocketHandle>(client);
    }
}

void CollectorListener::Wake() {
    // Setting an event only fails for a bad handle, which the listener never holds.
    if (native_) ::SetEvent(native_->wakeEvent.Get());
}

void CollectorListener::Close() {
    native_.reset();
    port_ = 0;
}

}  // namespace collector
