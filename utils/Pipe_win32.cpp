#include "utils/Pipe_win32.h"

#include <atomic>
#include <random>
#include <string>

#include "utils/Exception.h"
#include "utils/UniqueHandle_win32.h"

namespace Utils {
namespace {

constexpr DWORD kBufferSize = 64 * 1024;

// A name no other pipe has: this process, a counter, and a random part so that another
// program cannot guess it and wait there first. FILE_FLAG_FIRST_PIPE_INSTANCE below refuses a
// name that exists all the same.
std::wstring NewPipeName() {
    static std::atomic<unsigned long> counter{0};
    thread_local std::mt19937_64 random{std::random_device{}()};
    return L"\\\\.\\pipe\\Quorvex." + std::to_wstring(::GetCurrentProcessId()) + L"." +
           std::to_wstring(counter.fetch_add(1)) + L"." + std::to_wstring(random());
}

// One transfer on `file`; `overlapped` handles are waited for here, so the call blocks like a
// synchronous one. The count moved, or -1 with the error in `error`.
std::ptrdiff_t Transfer(HANDLE file, bool overlapped, bool write, void* buffer, DWORD size, DWORD& error) {
    DWORD done = 0;
    if (!overlapped) {
        const BOOL ok = write ? ::WriteFile(file, buffer, size, &done, nullptr)
                              : ::ReadFile(file, buffer, size, &done, nullptr);
        if (!ok) {
            error = ::GetLastError();
            return -1;
        }
        return static_cast<std::ptrdiff_t>(done);
    }
    UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) {
        error = ::GetLastError();
        return -1;
    }
    OVERLAPPED io{};
    io.hEvent = event.Get();
    const BOOL ok = write ? ::WriteFile(file, buffer, size, nullptr, &io) : ::ReadFile(file, buffer, size, nullptr, &io);
    if (!ok && ::GetLastError() != ERROR_IO_PENDING) {
        error = ::GetLastError();
        return -1;
    }
    if (!::GetOverlappedResult(file, &io, &done, TRUE)) {
        error = ::GetLastError();
        return -1;
    }
    return static_cast<std::ptrdiff_t>(done);
}

}  // namespace

// A named pipe stands in for an anonymous one: only a named pipe can be opened for overlapped
// I/O. It takes one client, from this machine only, and the client is this process itself,
// opening the other end at once.
Pipe::Pipe(KeptEnd kept) : ends_(std::make_unique<Ends>()) {
    const bool keepRead = kept == KeptEnd::kRead;
    UniqueHandle server;
    std::wstring name;
    for (int attempt = 0; attempt < 4 && !server; ++attempt) {
        name = NewPipeName();
        server.Reset(::CreateNamedPipeW(
            name.c_str(),
            (keepRead ? PIPE_ACCESS_INBOUND : PIPE_ACCESS_OUTBOUND) | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, kBufferSize, kBufferSize,
            0, nullptr));
    }
    if (!server) throw Exception("CreateNamedPipeW: " + std::to_string(::GetLastError()));
    UniqueHandle client(::CreateFileW(name.c_str(), keepRead ? GENERIC_WRITE : GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!client) throw Exception("opening the pipe's other end: " + std::to_string(::GetLastError()));
    if (keepRead) {
        ends_->read = FileHandle(server.Release());
        ends_->write = FileHandle(client.Release());
        ends_->readOverlapped = true;
    } else {
        ends_->write = FileHandle(server.Release());
        ends_->read = FileHandle(client.Release());
        ends_->writeOverlapped = true;
    }
}

Pipe::~Pipe() = default;

// A close error on a pipe loses nothing the reader could still get: it is not reported.
void Pipe::CloseRead() { ends_->read.Close(); }

void Pipe::CloseWrite() { ends_->write.Close(); }

std::ptrdiff_t Pipe::Read(void* buffer, size_t size) {
    if (!ends_->read.IsOpen()) return -1;
    const DWORD chunk = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(size);
    DWORD error = 0;
    const std::ptrdiff_t n = Transfer(ends_->read.Native(), ends_->readOverlapped, false, buffer, chunk, error);
    if (n >= 0) return n;
    // The writer closed its end (or never connected): the end of the data, not a failure.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_HANDLE_EOF) return 0;
    return -1;
}

bool Pipe::WriteAll(const void* data, size_t size) {
    if (!ends_->write.IsOpen()) return false;
    auto* p = static_cast<char*>(const_cast<void*>(data));
    while (size > 0) {
        const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD error = 0;
        const std::ptrdiff_t n = Transfer(ends_->write.Native(), ends_->writeOverlapped, true, p, chunk, error);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace Utils
