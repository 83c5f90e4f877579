#include "utils/Pipe_posix.h"

#include <fcntl.h>
#include <unistd.h>

#include "utils/Exception.h"

namespace Utils {

// Both ends of a POSIX pipe can be polled: which one stays makes no difference.
Pipe::Pipe(KeptEnd) : ends_(std::make_unique<Ends>()) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw Exception();
    ends_->read = FileHandle(fds[0]);
    ends_->write = FileHandle(fds[1]);
}

Pipe::~Pipe() = default;

// A close error on a pipe loses nothing the reader could still get: it is not reported.
void Pipe::CloseRead() { ends_->read.Close(); }

void Pipe::CloseWrite() { ends_->write.Close(); }

std::ptrdiff_t Pipe::Read(void* buffer, size_t size) {
    const int64_t n = ends_->read.Read(buffer, size);
    return n < 0 ? -1 : static_cast<std::ptrdiff_t>(n);
}

bool Pipe::WriteAll(const void* data, size_t size) { return ends_->write.WriteAll(data, size).Ok(); }

}  // namespace Utils
