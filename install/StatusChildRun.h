#pragma once
// Runs one child that reports through status lines (the package, or the previous copy's
// uninstaller) from start to end; the one loop both runners share.
//
//  1. The program file is opened without following links and checked through that
//     descriptor: a regular file of this user that nobody else may write. It gets mode 0700
//     and runs from the same descriptor, so no file can be swapped in between.
//  2. The child runs hidden with three pipes, in a process group of its own, and is sent
//     SIGTERM by the kernel if the thread that started it ends (so also when the installer is
//     killed).
//  3. Its output is cut into lines and handed to the parser until a final state; after that
//     it is drained and discarded.
//  4. It ends one of four ways: the child ended (exit status or signal known); the final line
//     came and the child did not end within the exit grace (the installer goes on and leaves
//     it running; what it started itself lives on, while the child is sent SIGTERM by the
//     kernel once the worker thread ends); the child stayed silent and alive for the idle
//     limit (its process group is stopped: SIGTERM, then SIGKILL); or it could not be
//     started.
//
// Limits: kIdleLimitMs (10 minutes) and kExitGraceMs (10 seconds); the environment variables
// QV_CHILD_IDLE_LIMIT_MS and QV_CHILD_EXIT_GRACE_MS (milliseconds) override them, for tests.
//
// The process group of the child that runs now is published (CurrentGroup) so that the
// installer can pass a termination signal on to it.
//
// Threads: used on the runner's worker thread, which owns the child; CurrentGroup from any
// thread.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace Utils {
class PipedProcess;
}

class StatusChildRun {
public:
    static constexpr long kIdleLimitMs = 10L * 60 * 1000;
    static constexpr long kExitGraceMs = 10L * 1000;
    // How long a stopped group gets between SIGTERM and SIGKILL.
    static constexpr long kStopWaitMs = 2000;

    enum class End { kNotStarted, kEnded, kLeftRunning, kIdleStopped };
    struct Result {
        End end = End::kNotStarted;
        int exitStatus = -1;  // kEnded: the exit status, when it exited
        int signal = 0;       // kEnded: the signal that ended it, else 0
        int finalState = 0;   // the parser's last non-zero answer, 0 without a final line
        std::string error;    // kNotStarted: why
    };
    // Gets each complete raw line; returns non-zero for a final state.
    using LineParser = std::function<int(std::string_view line)>;

    StatusChildRun();
    ~StatusChildRun();
    StatusChildRun(const StatusChildRun&) = delete;
    StatusChildRun& operator=(const StatusChildRun&) = delete;

    // Runs `program` with the Windows-style `commandLine` (its first argument names the
    // program for the child's argv[0]).
    Result Run(const std::wstring& program, const std::wstring& commandLine, const LineParser& parse);
    // The limits in force (the constants, or the environment's overrides).
    static long IdleLimitMs();
    static long ExitGraceMs();
    // The process group of the child that runs now; 0 when none does.
    static pid_t CurrentGroup();
    // A text for the end of a child that gave no final line ("exit status 1", "signal 11
    // (Segmentation fault)").
    static std::wstring DescribeEnd(const Result& result);

private:
    void StopGroup(pid_t group);

    std::unique_ptr<Utils::PipedProcess> process_;  // while the child runs
};
