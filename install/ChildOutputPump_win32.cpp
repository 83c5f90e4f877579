#include "install/ChildOutputPump.h"

#include <optional>

#include "install/ChildOutputWatch.h"
#include "utils/Log.h"
#include "utils/PipedProcess.h"
#include "utils/Pipe_win32.h"
#include "utils/PipedProcess_win32.h"

namespace {

// After the child has ended, how long a read already asked for may take to deliver what the
// child wrote last before the pipes count as done (the system hands a finished read over
// asynchronously).
constexpr DWORD kSettleMs = 50;

// One overlapped read kept outstanding on one of the child's output pipes. A read still
// pending when the pump ends is cancelled and waited for before its buffer goes.
class PipeReader {
public:
    explicit PipeReader(Utils::Pipe& pipe)
        : file_(pipe.Native().read.Native()), event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        if (!event_) {
            QLOG(L"CreateEventW failed: %lu\r\n", ::GetLastError());
            open_ = false;
            return;
        }
        Issue();
    }
    ~PipeReader() {
        if (!pending_) return;
        // Cancelled or already finished, the read is collected before its buffer goes.
        ::CancelIoEx(file_, &io_);
        DWORD n = 0;
        ::GetOverlappedResult(file_, &io_, &n, TRUE);
    }
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    bool Open() const { return open_; }
    HANDLE Event() const { return event_.Get(); }

    // Collects the finished read (its event is set): the bytes it brought, or nothing at the
    // end of the data (the pipe is then closed). Asks for the next read at once.
    std::optional<std::string_view> Collect() {
        DWORD n = 0;
        pending_ = false;
        if (!::GetOverlappedResult(file_, &io_, &n, FALSE)) {
            const DWORD e = ::GetLastError();
            if (e != ERROR_BROKEN_PIPE && e != ERROR_PIPE_NOT_CONNECTED) QLOG(L"pipe read failed: %lu\r\n", e);
            open_ = false;
            return std::nullopt;
        }
        const std::string_view bytes(buffer_, n);
        // The bytes stay valid until the next Collect: the next read goes to the other half.
        std::swap(buffer_, spare_);
        Issue();
        return bytes;
    }

private:
    void Issue() {
        io_ = OVERLAPPED{};
        io_.hEvent = event_.Get();
        ::ResetEvent(event_.Get());
        if (::ReadFile(file_, buffer_, ChildOutputPump::kReadSize, nullptr, &io_) || ::GetLastError() == ERROR_IO_PENDING) {
            pending_ = true;  // finished or not, the event tells, and Collect takes the result
            return;
        }
        const DWORD e = ::GetLastError();
        if (e != ERROR_BROKEN_PIPE && e != ERROR_PIPE_NOT_CONNECTED) QLOG(L"pipe read failed: %lu\r\n", e);
        open_ = false;
    }

    HANDLE file_;
    Utils::UniqueHandle event_;
    OVERLAPPED io_{};
    char storage_[2][ChildOutputPump::kReadSize];
    char* buffer_ = storage_[0];
    char* spare_ = storage_[1];
    bool open_ = true;
    bool pending_ = false;
};

}  // namespace

ChildOutputPump::End ChildOutputPump::Run(Utils::PipedProcess& process, const ChunkHandler& onStdOut,
                                          const std::function<bool()>& finalSeen, const Limits& limits) {
    process.StdIn().CloseWrite();
    PipeReader readers[2] = {PipeReader(process.StdOut()), PipeReader(process.StdErr())};
    const HANDLE child = process.Native().process.Get();
    ChildOutputWatch watch(process, onStdOut, finalSeen, limits);

    for (;;) {
        // Once the child itself has ended, only what is already on its way is read (within a
        // bound): a grandchild holding the pipes open cannot keep the installer waiting.
        if (const auto due = watch.Check()) return *due;
        const bool exited = watch.Exited();

        HANDLE waits[3];
        int which[3];
        DWORD count = 0;
        for (int i = 0; i < 2; ++i) {
            if (!readers[i].Open()) continue;
            waits[count] = readers[i].Event();
            which[count++] = i;
        }
        if (count == 0 && exited) return End::kOutputDone;
        if (!exited && child) {
            waits[count] = child;
            which[count++] = -1;
        }
        if (count == 0) return End::kOutputDone;  // no process handle to wait on: nothing left to follow
        const DWORD r = ::WaitForMultipleObjects(count, waits, FALSE, exited ? kSettleMs : kPollMs);
        if (r == WAIT_TIMEOUT) {
            if (exited) return End::kOutputDone;
            continue;
        }
        if (r >= WAIT_OBJECT_0 + count) {
            QLOG(L"waiting for the child's output failed: %lu\r\n", ::GetLastError());
            return End::kOutputDone;
        }
        const int i = which[r - WAIT_OBJECT_0];
        if (i < 0) continue;  // the child ended: noticed at the top
        const std::optional<std::string_view> bytes = readers[i].Collect();
        if (bytes && watch.Take(*bytes, i == 0)) return End::kOutputDone;
    }
}
