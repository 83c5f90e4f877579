#pragma once
// A real HTTP proxy for tests: Debian's tinyproxy, started in the foreground on a free port of
// 127.0.0.1 with a configuration file in its own temporary folder, and stopped (SIGTERM, then
// waited for) when the object goes. Linux only.
#include <string>

#include "tests/support/TempDir.h"

namespace testsupport {

class TinyProxy {
public:
    // With a user and password the proxy asks for them (Basic authentication, 407 without).
    // Throws std::runtime_error when tinyproxy cannot be started or does not listen within 10 s.
    explicit TinyProxy(const std::string& user = "", const std::string& password = "");
    ~TinyProxy();
    TinyProxy(const TinyProxy&) = delete;
    TinyProxy& operator=(const TinyProxy&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:<port>"
    std::string Url() const;
    // The log so far (LogLevel Info: one "Request (file descriptor N): GET http://... HTTP/1.1"
    // line per request it forwarded, "CONNECT host:port" for tunnels).
    std::string Log() const;
    // Number of log lines holding `needle`.
    int Count(const std::string& needle) const;

private:
    TempDir dir_;
    int port_ = 0;
    int pid_ = -1;
};

// A port on 127.0.0.1 that nothing listens on (bound once, then released).
int UnusedLoopbackPort();

}  // namespace testsupport
