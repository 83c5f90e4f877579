#pragma once
// A hidden child process whose standard input, output and error are anonymous pipes.
// Owned by one thread (the runner's worker). The child gets exactly its three pipe ends as its
// standard handles; no other handle or descriptor of the parent reaches it.
// On POSIX systems the child starts with the file-creation mask 022 whatever this process
// inherited: the packages and uninstallers it runs create folders that others read but must
// not write.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "utils/Pipe.h"

namespace Utils {

class FileHandle;

// How a child is started beyond its command line.
struct SpawnOptions {
    // The child and everything it starts form one group that can be stopped together
    // (StopGroup): a process group led by the child on POSIX systems, a job object on Windows.
    bool ownProcessGroup = false;
    // The child (with its group) is stopped when its starter goes away, also when the whole
    // process is killed outright. POSIX binds this to the thread that started the child: a
    // small guard process receives the system's parent-death signal and passes SIGTERM on.
    // Windows binds it to this object's job handle, which the system closes when the process
    // ends however it ends. LetGo() releases the child from this bond.
    bool stopWithStarter = false;
    // When set, the program that runs is this open file, not whatever the command line's
    // first argument names by the time the child starts: what was checked through the handle
    // is what runs. POSIX executes the descriptor itself (argv[0] is still passed as is);
    // Windows cannot, so there the caller must hold the file open without sharing write or
    // delete access, which keeps the named file from being replaced until the child runs.
    const FileHandle* program = nullptr;
};

class PipedProcess {
public:
    // The system's handles of the child, defined per platform (utils/PipedProcess_win32.h);
    // for code that waits on the child together with its pipes.
    struct Handles;

    // Creates the three pipes (standard error, output, input). Throws Utils::Exception.
    PipedProcess();
    // Closes every pipe end still open and reaps the child if it has ended. A child that
    // still runs is left running (as the system does when its handles are closed); one started
    // with stopWithStarter and not let go is stopped no later than its starter goes away (on
    // Windows at once: this object holds its job).
    ~PipedProcess();
    PipedProcess(const PipedProcess&) = delete;
    PipedProcess& operator=(const PipedProcess&) = delete;

    // Starts the child. The command line follows the Windows rules (no shell): on Windows it
    // is handed to the system as it is, elsewhere it is split as CommandLineToArgvW splits it.
    // The program is found through PATH when it names no folder. Throws Utils::Exception when
    // the line is empty, too long for the system (32766 characters on Windows; no limit of our
    // own elsewhere) or the program cannot be started.
    void Start(const std::wstring& commandLine, const std::filesystem::path& workingFolder = {});
    // The same with arguments already split (UTF-8); each is quoted as the Windows rules need.
    void Start(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder = {});
    // The same with spawn options.
    void Start(const std::wstring& commandLine, const SpawnOptions& options,
               const std::filesystem::path& workingFolder = {});
    void Start(const std::vector<std::string>& argv, const SpawnOptions& options,
               const std::filesystem::path& workingFolder = {});

    Pipe& StdOut() { return *stdout_; }
    Pipe& StdErr() { return *stderr_; }
    Pipe& StdIn() { return *stdin_; }

    // The system's process id; -1 before a start and after LetGo.
    std::int64_t Pid() const { return pid_; }
    // Polls without blocking: the exit code once the child has ended, nothing while it runs.
    // A child ended by a signal reports 128 + the signal number. (On Windows an exit code of
    // 259, STILL_ACTIVE, is still told apart from a running child.)
    std::optional<int> TryExitCode();
    // Blocks until the child ends; its exit code (as above), or -1 when there is no child.
    int Wait();
    bool IsRunning() { return pid_ > 0 && !TryExitCode().has_value(); }
    // Ends the child's whole group at once (SIGKILL to the process group; the job terminated
    // on Windows). False when the child was not started with ownProcessGroup, is let go, or
    // the system refused.
    bool StopGroup();
    // For a child started with stopWithStarter: the bond is released, so the child (and what
    // it started) keeps running whatever becomes of this thread or process. The child is no
    // longer ours afterwards (no exit code, no group). Nothing happens for other children.
    void LetGo();
    // The signal that ended the child (0 when it exited, still runs, never started, or on
    // systems without signals): an exit code of 128 + N alone cannot tell a signal from an
    // exit status.
    int TermSignal() const { return termSignal_; }

    const Handles& Native() const { return *handles_; }

private:
    std::unique_ptr<Pipe> stderr_;
    std::unique_ptr<Pipe> stdout_;
    std::unique_ptr<Pipe> stdin_;
    std::unique_ptr<Handles> handles_;
    std::int64_t pid_ = -1;
    bool guarded_ = false;  // started with stopWithStarter and not let go
    bool grouped_ = false;  // started with ownProcessGroup
    std::optional<int> exitCode_;
    int termSignal_ = 0;
};

}  // namespace Utils
