#include "tests/support/TinyProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace testsupport {
namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool Listening(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const sockaddr_in address = Loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

int UnusedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(fd);
        throw std::runtime_error("no free port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

TinyProxy::TinyProxy(const std::string& user, const std::string& password) {
    port_ = UnusedLoopbackPort();
    const std::string config = (dir_.path() / "tinyproxy.conf").string();
    {
        std::ofstream out(config);
        out << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 50\n"
            << "LogFile \"" << (dir_.path() / "tinyproxy.log").string() << "\"\nLogLevel Info\n";
        if (!user.empty()) out << "BasicAuth " << user << " " << password << "\n";
        if (!out) throw std::runtime_error("cannot write " + config);
    }
    const char* argv[] = {"tinyproxy", "-d", "-c", config.c_str(), nullptr};
    pid_t pid = -1;
    if (::posix_spawnp(&pid, "tinyproxy", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        throw std::runtime_error("cannot start tinyproxy (is it installed?)");
    pid_ = pid;
    for (int i = 0; i < 200; ++i) {
        if (Listening(port_)) return;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("tinyproxy ended at start: " + Log());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    throw std::runtime_error("tinyproxy does not listen on port " + std::to_string(port_));
}

TinyProxy::~TinyProxy() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
}

std::string TinyProxy::Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::string TinyProxy::Log() const {
    std::ifstream in(dir_.path() / "tinyproxy.log");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int TinyProxy::Count(const std::string& needle) const {
    std::istringstream lines(Log());
    int count = 0;
    for (std::string line; std::getline(lines, line);)
        if (line.find(needle) != std::string::npos) ++count;
    return count;
}

}  // namespace testsupport
