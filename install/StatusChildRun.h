#pragma once
// Runs one child that reports through status lines (the package, or the previous copy's
// uninstaller) from start to end; the one loop both runners share.
//
//  1. The program file is opened without following links and checked through that handle:
//     a regular file (on POSIX also of this user, writable by nobody else, and given mode
//     0700). What runs is the file that was checked: POSIX runs the open descriptor itself;
//     Windows holds the file open without write or delete sharing until the child has started.
//  2. The child runs hidden with three pipes, with everything it starts in one group (a
//     process group, or a job object), and that group is stopped if the installer goes away
//     while the child runs, also when the installer is killed outright.
//  3. Its output is cut into lines and handed to the parser until a final state; after that
//     it is drained and discarded.
//  4. It ends one of four ways: the child ended (exit status or signal known); the final line
//     came and the child did not end within the exit grace (the installer goes on and lets it
//     go: the child and what it started outlive the runner and the installer, since it may be
//     starting the product); the child stayed silent and alive for the idle limit (its group
//     is stopped and it is reported as failed); or it could not be started.
//
// Limits: kIdleLimitMs (10 minutes) and kExitGraceMs (10 seconds); the environment variables
// QV_CHILD_IDLE_LIMIT_MS and QV_CHILD_EXIT_GRACE_MS (milliseconds) override them, for tests.
//
// The group of the child that runs now is published (CurrentGroup, StopCurrent) so that the
// installer can pass a termination request on to it.
//
// Threads: used on the runner's worker thread, which owns the child; CurrentGroup and
// StopCurrent from any thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace Utils {
class PipedProcess;
}

class StatusChildRun {
public:
    static constexpr long kIdleLimitMs = 10L * 60 * 1000;
    static constexpr long kExitGraceMs = 10L * 1000;
    // How long a stopped group gets to end after the polite request (SIGTERM) before it is
    // ended for good; where the system has no polite request the group ends at once.
    static constexpr long kStopWaitMs = 2000;

    enum class End { kNotStarted, kEnded, kLeftRunning, kIdleStopped };
    struct Result {
        End end = End::kNotStarted;
        int exitStatus = -1;  // kEnded: the exit status (Windows: the exit code), when it exited
        int signal = 0;       // kEnded: the signal that ended it, else 0 (always 0 on Windows)
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
    // The process group (POSIX) or the process id (Windows) of the child that runs now; 0 when
    // none does.
    static std::int64_t CurrentGroup();
    // Ends the child that runs now with everything it started, at once; false when none runs.
    // The runner then sees its child end (by SIGKILL, or exit code 1 on Windows).
    static bool StopCurrent();
    // A text for the end of a child that gave no final line ("exit status 1", "ended by
    // signal 11 (Segmentation fault)"; on Windows an exception code is also shown in hex).
    static std::wstring DescribeEnd(const Result& result);

private:
    // Stops the running child's group: the polite request, kStopWaitMs, then for good.
    void StopGroup();

    std::unique_ptr<Utils::PipedProcess> process_;  // while the child runs
};
