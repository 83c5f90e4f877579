#pragma once
// One anonymous pipe. Both ends are private to this process (close-on-exec); a child process
// receives an end only by having it placed on one of its standard handles. The system's handle
// type stays in the platform's source files: code that needs the raw ends (the process starter,
// a poll loop) includes "utils/Pipe_posix.h" and reads Native().
#include <cstddef>
#include <cstdint>
#include <memory>

namespace Utils {

class Pipe {
public:
    // The system's two ends, defined per platform (utils/Pipe_posix.h).
    struct Ends;

    // Throws Utils::Exception when the pipe cannot be created.
    Pipe();
    ~Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    void CloseRead();
    void CloseWrite();

    // Reads up to `size` bytes; retries when interrupted. 0 at end of data, -1 on error.
    std::ptrdiff_t Read(void* buffer, size_t size);
    // Writes all bytes; false on error (including a reader that has gone away).
    bool WriteAll(const void* data, size_t size);

    const Ends& Native() const { return *ends_; }

private:
    std::unique_ptr<Ends> ends_;
};

}  // namespace Utils
