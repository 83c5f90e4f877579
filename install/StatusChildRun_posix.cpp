#include "install/StatusChildRun.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "install/StatusChildRunSystem.h"
#include "utils/CommandLine.h"
#include "utils/Exception.h"
#include "utils/FileHandle.h"
#include "utils/Log.h"
#include "utils/PipedProcess.h"
#include "utils/StringUtils.h"

namespace {

std::atomic<pid_t> g_currentGroup{0};

// Opens the program (no link followed) and checks it through the descriptor; "" when it may
// run.
std::string OpenChecked(const std::wstring& program, Utils::FileHandle& file) {
    Utils::FileError error;
    file = Utils::FileHandle::OpenRead(Utils::ToUtf8(program), &error);
    if (!file.IsOpen()) return std::string("open: ") + std::strerror(error.code);
    const int fd = file.Native();
    struct stat st{};
    if (::fstat(fd, &st) != 0) return std::string("fstat: ") + std::strerror(errno);
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    if (st.st_uid != ::geteuid()) return "owned by another user";
    if (::fchmod(fd, 0700) != 0) return std::string("fchmod: ") + std::strerror(errno);
    return {};
}

void Pause(long ms) {
    if (ms > 0) ::poll(nullptr, 0, static_cast<int>(ms));
}

}  // namespace

namespace StatusChildRunSystem {

const wchar_t* const kIdleStopNote = L"its group is stopped";

// The child runs the checked descriptor itself (it gets its own copy at the fork), in a
// process group of its own that a guard ends with this thread.
std::string Start(const std::wstring& program, const std::wstring& commandLine,
                  std::unique_ptr<Utils::PipedProcess>& process) {
    Utils::FileHandle file;
    const std::string problem = OpenChecked(program, file);
    if (!problem.empty()) return problem;
    std::vector<std::string> argv;
    for (const auto& arg : Utils::SplitCommandLine(commandLine)) argv.push_back(Utils::ToUtf8(arg));
    Utils::SpawnOptions options;
    options.ownProcessGroup = true;
    options.stopWithStarter = true;
    options.program = &file;
    try {
        process = std::make_unique<Utils::PipedProcess>();
        process->Start(argv, options);
    } catch (const Utils::Exception& e) {
        process.reset();
        return e.what();
    }
    return {};
}

void Publish(Utils::PipedProcess* process) { g_currentGroup.store(process ? static_cast<pid_t>(process->Pid()) : 0); }

std::wstring DescribeAbnormalEnd(const StatusChildRun::Result& result) {
    if (result.signal == 0) return {};
    const char* name = ::strsignal(result.signal);
    return L"ended by signal " + std::to_wstring(result.signal) +
           (name ? L" (" + Utils::FromUtf8(name) + L")" : std::wstring());
}

}  // namespace StatusChildRunSystem

std::int64_t StatusChildRun::CurrentGroup() { return g_currentGroup.load(); }

bool StatusChildRun::StopCurrent() {
    const pid_t group = g_currentGroup.load();
    return group > 0 && ::kill(-group, SIGKILL) == 0;
}

void StatusChildRun::StopGroup() {
    const auto group = static_cast<pid_t>(process_->Pid());
    if (::kill(-group, SIGTERM) != 0 && errno != ESRCH) QLOG(L"kill -%d: %S\r\n", group, std::strerror(errno));
    for (long waited = 0; waited < kStopWaitMs; waited += 50) {
        if (process_->TryExitCode()) break;
        Pause(50);
    }
    // Whatever of the group is left (the child itself, or what it started) goes for good.
    ::kill(-group, SIGKILL);
}
