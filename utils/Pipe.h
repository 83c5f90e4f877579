#pragma once
// One anonymous pipe. Both ends are private to this process (never inherited); a child process
// receives an end only by having it placed on one of its standard handles. The system's handle
// type stays in the platform's source files: code that needs the raw ends (the process starter,
// a wait loop) includes "utils/Pipe_posix.h" or "utils/Pipe_win32.h" and reads Native().
#include <cstddef>
#include <cstdint>
#include <memory>

namespace Utils {

class Pipe {
public:
    // The system's two ends, defined per platform (utils/Pipe_posix.h).
    struct Ends;

    // Which end this process keeps; the other one is meant for a child. The kept end can be
    // waited on together with other events (on Windows it is opened for overlapped I/O, which
    // is why the choice is made here); the child's end is an ordinary one.
    enum class KeptEnd { kRead, kWrite };

    // Throws Utils::Exception when the pipe cannot be created.
    explicit Pipe(KeptEnd kept = KeptEnd::kRead);
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
