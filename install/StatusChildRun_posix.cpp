#include "install/StatusChildRun.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "install/ChildOutputPump.h"
#include "install/StatusLineBuffer.h"
#include "utils/CommandLine.h"
#include "utils/Exception.h"
#include "utils/FileHandle.h"
#include "utils/Log.h"
#include "utils/PipedProcess.h"
#include "utils/StringUtils.h"

namespace {

std::atomic<pid_t> g_currentGroup{0};

long LimitFromEnvironment(const char* name, long fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 0) return fallback;
    return value;
}

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

StatusChildRun::StatusChildRun() = default;

StatusChildRun::~StatusChildRun() = default;

long StatusChildRun::IdleLimitMs() { return LimitFromEnvironment("QV_CHILD_IDLE_LIMIT_MS", kIdleLimitMs); }
long StatusChildRun::ExitGraceMs() { return LimitFromEnvironment("QV_CHILD_EXIT_GRACE_MS", kExitGraceMs); }
std::int64_t StatusChildRun::CurrentGroup() { return g_currentGroup.load(); }

bool StatusChildRun::StopCurrent() {
    const pid_t group = g_currentGroup.load();
    return group > 0 && ::kill(-group, SIGKILL) == 0;
}

std::wstring StatusChildRun::DescribeEnd(const Result& result) {
    if (result.end == End::kIdleStopped) {
        const long ms = IdleLimitMs();
        return L"no output for " + (ms % 1000 == 0 ? std::to_wstring(ms / 1000) + L" s" : std::to_wstring(ms) + L" ms") +
               L"; stopped";
    }
    if (result.signal != 0) {
        const char* name = ::strsignal(result.signal);
        return L"ended by signal " + std::to_wstring(result.signal) +
               (name ? L" (" + Utils::FromUtf8(name) + L")" : std::wstring());
    }
    return L"exit status " + std::to_wstring(result.exitStatus);
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

StatusChildRun::Result StatusChildRun::Run(const std::wstring& program, const std::wstring& commandLine,
                                           const LineParser& parse) {
    Result result;

    // 1. The program, checked through the descriptor it will run from.
    Utils::FileHandle file;
    const std::string problem = OpenChecked(program, file);
    if (!problem.empty()) {
        result.error = problem;
        QLOG(L"%s not started: %S\r\n", program.c_str(), problem.c_str());
        return result;
    }

    // 2. Started in its own group, bound to this thread's life.
    std::vector<std::string> argv;
    for (const auto& arg : Utils::SplitCommandLine(commandLine)) argv.push_back(Utils::ToUtf8(arg));
    Utils::SpawnOptions options;
    options.ownProcessGroup = true;
    options.stopWithStarter = true;
    options.program = &file;
    try {
        process_ = std::make_unique<Utils::PipedProcess>();
        process_->Start(argv, options);
    } catch (const Utils::Exception& e) {
        result.error = e.what();
        QLOG(L"%s not started: %S\r\n", program.c_str(), e.what());
        process_.reset();
        return result;
    }
    const auto group = static_cast<pid_t>(process_->Pid());
    g_currentGroup.store(group);

    // 3. Lines until the final state, the rest drained.
    StatusLineBuffer lines;
    const auto onLine = [&](std::string_view line) {
        if (result.finalState == 0) result.finalState = parse(line);
    };
    const ChildOutputPump::End end = ChildOutputPump::Run(
        *process_, [&](std::string_view bytes) { if (result.finalState == 0) lines.Feed(bytes, onLine); },
        [&] { return result.finalState != 0; }, {IdleLimitMs(), ExitGraceMs()});
    if (result.finalState == 0) lines.Finish(onLine);

    // 4. How it ended.
    if (end == ChildOutputPump::End::kGraceOver) {
        QLOG(L"child %d still runs after its final line; left running\r\n", group);
        result.end = End::kLeftRunning;
        g_currentGroup.store(0);
        process_->LetGo();  // its guard steps aside: the child outlives this thread and process
        process_.reset();   // closes the pipes
        return result;
    }
    if (end == ChildOutputPump::End::kIdle) {
        QLOG(L"child %d silent for %ld ms; its group is stopped\r\n", group, IdleLimitMs());
        StopGroup();
        process_->Wait();
        result.end = End::kIdleStopped;
    } else {
        result.end = End::kEnded;
        result.exitStatus = process_->Wait();
        result.signal = process_->TermSignal();
    }
    g_currentGroup.store(0);
    process_.reset();
    return result;
}
