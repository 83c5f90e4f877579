#include "utils/PipedProcess.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "utils/CommandLine.h"
#include "utils/Exception.h"
#include "utils/Pipe_posix.h"
#include "utils/StringUtils.h"

extern char** environ;

namespace Utils {
namespace {

int DecodeStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// Owns posix_spawn_file_actions_t for the length of one start.
struct FileActions {
    posix_spawn_file_actions_t actions;
    bool ok;
    FileActions() { ok = posix_spawn_file_actions_init(&actions) == 0; }
    ~FileActions() {
        if (ok) posix_spawn_file_actions_destroy(&actions);
    }
};

}  // namespace

PipedProcess::PipedProcess()
    : stderr_(std::make_unique<Pipe>()), stdout_(std::make_unique<Pipe>()), stdin_(std::make_unique<Pipe>()) {}

PipedProcess::~PipedProcess() {
    if (pid_ > 0) TryExitCode();
}

void PipedProcess::Start(const std::wstring& commandLine, const std::filesystem::path& workingFolder) {
    std::vector<std::string> argv;
    for (const auto& arg : SplitCommandLine(commandLine)) argv.push_back(ToUtf8(arg));
    Start(argv, workingFolder);
}

void PipedProcess::Start(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder) {
    if (pid_ > 0) throw Exception("process already started");
    if (argv.empty() || argv[0].empty()) throw Exception("empty command line");

    FileActions fa;
    if (!fa.ok) throw Exception("posix_spawn_file_actions_init");
    // dup2 onto 0..2 clears close-on-exec on the copies; closefrom drops everything else,
    // including descriptors that other libraries opened without O_CLOEXEC.
    if (posix_spawn_file_actions_adddup2(&fa.actions, stdin_->Native().read, 0) != 0 ||
        posix_spawn_file_actions_adddup2(&fa.actions, stdout_->Native().write, 1) != 0 ||
        posix_spawn_file_actions_adddup2(&fa.actions, stderr_->Native().write, 2) != 0 ||
        posix_spawn_file_actions_addclosefrom_np(&fa.actions, 3) != 0)
        throw Exception("posix_spawn_file_actions");
    if (!workingFolder.empty() &&
        posix_spawn_file_actions_addchdir_np(&fa.actions, workingFolder.c_str()) != 0)
        throw Exception("posix_spawn_file_actions_addchdir_np");

    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0) throw Exception("posix_spawnattr_init");
    // The child starts with default signal dispositions and an empty mask, whatever the
    // parent ignores (SIGPIPE in particular).
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> cargv;
    for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);

    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, cargv[0], &fa.actions, &attr, cargv.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) throw Exception("posix_spawnp: " + std::to_string(rc));
    pid_ = pid;
    // The child's ends belong to the child now.
    stdout_->CloseWrite();
    stderr_->CloseWrite();
    stdin_->CloseRead();
}

std::optional<int> PipedProcess::TryExitCode() {
    if (exitCode_) return exitCode_;
    if (pid_ <= 0) return std::nullopt;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(pid_, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == pid_) exitCode_ = DecodeStatus(status);
    else if (r < 0) exitCode_ = -1;  // not our child any more (reaped elsewhere)
    return exitCode_;
}

int PipedProcess::Wait() {
    if (exitCode_) return *exitCode_;
    if (pid_ <= 0) return -1;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(pid_, &status, 0);
    } while (r < 0 && errno == EINTR);
    exitCode_ = (r == pid_) ? DecodeStatus(status) : -1;
    return *exitCode_;
}

}  // namespace Utils
