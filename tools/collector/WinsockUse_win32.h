#pragma once
// One use of Winsock, from WSAStartup to its WSACleanup: the library counts the uses, so every
// owner of sockets (the listener, a test reserving a port) holds one for as long as its sockets
// live. For Windows-only sources; included after the project's own headers.
#include "utils/WindowsApi_win32.h"

#include <winsock2.h>

namespace collector {

class WinsockUse {
public:
    WinsockUse() {
        WSADATA data;
        started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockUse() {
        if (started_) ::WSACleanup();
    }
    WinsockUse(const WinsockUse&) = delete;
    WinsockUse& operator=(const WinsockUse&) = delete;
    // False when WSAStartup failed: no socket call may be made then.
    bool Started() const { return started_; }

private:
    bool started_ = false;
};

}  // namespace collector
