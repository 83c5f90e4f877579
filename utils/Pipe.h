#pragma once
// One anonymous pipe. Both ends are close-on-exec in the parent; a child process receives an
// end only by having it placed on one of its standard descriptors.
#include <cstddef>
#include <sys/types.h>

namespace Utils {

class Pipe {
public:
    // Throws Utils::Exception when the pipe cannot be created.
    Pipe();
    ~Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    int ReadEnd() const { return read_; }
    int WriteEnd() const { return write_; }
    void CloseRead();
    void CloseWrite();

    // Reads up to `size` bytes; retries on EINTR. 0 at end of data, -1 on error.
    ssize_t Read(void* buffer, size_t size);
    // Writes all bytes; false on error (including a reader that has gone away).
    bool WriteAll(const void* data, size_t size);

private:
    int read_ = -1;
    int write_ = -1;
};

}  // namespace Utils
