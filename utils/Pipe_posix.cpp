#include "utils/Pipe_posix.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "utils/Exception.h"

namespace Utils {

Pipe::Pipe() : ends_(std::make_unique<Ends>()) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw Exception();
    ends_->read = fds[0];
    ends_->write = fds[1];
}

Pipe::~Pipe() {
    CloseRead();
    CloseWrite();
}

void Pipe::CloseRead() {
    if (ends_->read >= 0) ::close(ends_->read);
    ends_->read = -1;
}

void Pipe::CloseWrite() {
    if (ends_->write >= 0) ::close(ends_->write);
    ends_->write = -1;
}

std::ptrdiff_t Pipe::Read(void* buffer, size_t size) {
    if (ends_->read < 0) return -1;
    while (true) {
        const ssize_t n = ::read(ends_->read, buffer, size);
        if (n >= 0 || errno != EINTR) return n;
    }
}

bool Pipe::WriteAll(const void* data, size_t size) {
    if (ends_->write < 0) return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(ends_->write, p, size);
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
