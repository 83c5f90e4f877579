#include "utils/Pipe.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "utils/Exception.h"

namespace Utils {

Pipe::Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw Exception();
    read_ = fds[0];
    write_ = fds[1];
}

Pipe::~Pipe() {
    CloseRead();
    CloseWrite();
}

void Pipe::CloseRead() {
    if (read_ >= 0) ::close(read_);
    read_ = -1;
}

void Pipe::CloseWrite() {
    if (write_ >= 0) ::close(write_);
    write_ = -1;
}

ssize_t Pipe::Read(void* buffer, size_t size) {
    if (read_ < 0) return -1;
    while (true) {
        const ssize_t n = ::read(read_, buffer, size);
        if (n >= 0 || errno != EINTR) return n;
    }
}

bool Pipe::WriteAll(const void* data, size_t size) {
    if (write_ < 0) return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(write_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace Utils
