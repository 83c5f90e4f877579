#pragma once
// A hidden child process whose standard input, output and error are anonymous pipes.
// Owned by one thread (the runner's worker). The child gets exactly its three pipe ends as
// descriptors 0, 1 and 2; every other descriptor of the parent stays private.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "utils/Pipe.h"

namespace Utils {

// How a child is started beyond its command line.
struct SpawnOptions {
    // The child leads a process group of its own (its id is the child's pid), so that it and
    // everything it starts can be signalled together.
    bool ownProcessGroup = false;
    // Sent to the child (and, with ownProcessGroup, its group) when the thread that started it
    // ends, also when the whole process is killed; 0 for none. The system ties this signal to
    // the starting thread, not to the process, so a small guard process stands between the two:
    // the guard gets the signal from the system and passes it on, relays the child's end as
    // its own, and steps aside on LetGo() so that a child left running outlives its starter.
    int parentDeathSignal = 0;
    // When >= 0, the program that runs is this open file (fexecve), not the file argv[0] names:
    // what was checked through the descriptor is what runs. argv[0] is still passed as is.
    int programFd = -1;
};

class PipedProcess {
public:
    // Creates the three pipes (standard error, output, input). Throws Utils::Exception.
    PipedProcess();
    // Closes every pipe end still open and reaps the child if it has ended. A child that
    // still runs is left running (as the system does when its handles are closed).
    ~PipedProcess();
    PipedProcess(const PipedProcess&) = delete;
    PipedProcess& operator=(const PipedProcess&) = delete;

    // Starts the child. The command line is split with the Windows rules (no shell); the
    // program is found through PATH when it names no folder. Any length is accepted.
    // Throws Utils::Exception when the line is empty or the program cannot be started.
    void Start(const std::wstring& commandLine, const std::filesystem::path& workingFolder = {});
    // The same with arguments already split.
    void Start(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder = {});
    // The same with spawn options (started with fork and exec; the other forms use
    // posix_spawn).
    void Start(const std::vector<std::string>& argv, const SpawnOptions& options,
               const std::filesystem::path& workingFolder = {});

    Pipe& StdOut() { return *stdout_; }
    Pipe& StdErr() { return *stderr_; }
    Pipe& StdIn() { return *stdin_; }

    pid_t Pid() const { return pid_; }
    // Polls without blocking: the exit code once the child has ended, nothing while it runs.
    // A child ended by a signal reports 128 + the signal number.
    std::optional<int> TryExitCode();
    // Blocks until the child ends; its exit code (as above), or -1 when there is no child.
    int Wait();
    bool IsRunning() { return pid_ > 0 && !TryExitCode().has_value(); }
    // For a child started with a parent-death signal: its guard steps aside, so the child
    // keeps running whatever becomes of this process. The child is no longer ours afterwards
    // (no exit code, no signal). Nothing happens for other children.
    void LetGo();
    // The signal that ended the child (0 when it exited, still runs, or never started): an
    // exit code of 128 + N alone cannot tell a signal from an exit status.
    int TermSignal() const { return termSignal_; }

private:
    std::unique_ptr<Pipe> stderr_;
    std::unique_ptr<Pipe> stdout_;
    std::unique_ptr<Pipe> stdin_;
    pid_t pid_ = -1;
    bool guarded_ = false;
    std::optional<int> exitCode_;
    int termSignal_ = 0;
};

}  // namespace Utils
