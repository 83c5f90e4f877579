#pragma once
// The test collector's listening socket on 127.0.0.1 and the wake-up that ends a blocked accept,
// so the accept thread can be stopped without closing a socket under it.
//
// Sockets it makes are never inherited by child processes, so a program a test starts cannot keep
// the port bound after the collector has stopped.
//
// Threads: Listen and Close on the owner's thread while no Accept runs; Accept on one thread;
// Wake from any thread.
#include <cstdint>
#include <memory>
#include <string>

#include "tools/collector/CollectorConnection.h"

namespace collector {

class CollectorListener {
public:
    CollectorListener();
    ~CollectorListener();  // closes
    CollectorListener(const CollectorListener&) = delete;
    CollectorListener& operator=(const CollectorListener&) = delete;

    // Listens on 127.0.0.1:`port` (0 picks a free port). False with `error` set on failure.
    // Also makes a write to a peer that has gone an error rather than a process-ending signal.
    bool Listen(std::uint16_t port, std::string* error);
    std::uint16_t Port() const { return port_; }

    // Waits for the next client: its socket (owned by the caller from then on), or kNoSocket
    // once Wake() was called or the listener failed. Every call after a Wake() returns at once.
    SocketHandle Accept();
    void Wake();
    void Close();

private:
    struct Native;
    std::unique_ptr<Native> native_;
    std::uint16_t port_ = 0;
};

}  // namespace collector
