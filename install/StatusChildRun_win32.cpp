#include "install/StatusChildRun.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "install/ChildOutputPump.h"
#include "install/StatusLineBuffer.h"
#include "utils/CommandLine.h"
#include "utils/Exception.h"
#include "utils/Log.h"
#include "utils/PipedProcess.h"
#include "utils/StringUtils.h"
#include "utils/PipedProcess_win32.h"

namespace {

// The job of the child that runs now, borrowed from its PipedProcess for StopCurrent. The
// runner clears it under the lock before the job handle can close.
std::mutex g_currentMutex;
HANDLE g_currentJob = nullptr;
std::atomic<std::int64_t> g_currentId{0};

void Publish(HANDLE job, std::int64_t id) {
    std::lock_guard lock(g_currentMutex);
    g_currentJob = job;
    g_currentId.store(id);
}

long LimitFromEnvironment(const char* name, long fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 0) return fallback;
    return value;
}

// Opens the program without following a link and checks it through the handle; "" when it may
// run. The handle shares no write or delete access: while it is open the file at that name
// cannot be changed, replaced or removed, so the file checked is the file the system starts.
std::string OpenChecked(const std::wstring& program, Utils::UniqueHandle& file) {
    file.Reset(::CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return "open: error " + std::to_string(::GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file.Get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return "not a regular file";
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return "a link, not the program itself";
    return {};
}

}  // namespace

StatusChildRun::StatusChildRun() = default;

StatusChildRun::~StatusChildRun() = default;

long StatusChildRun::IdleLimitMs() { return LimitFromEnvironment("QV_CHILD_IDLE_LIMIT_MS", kIdleLimitMs); }
long StatusChildRun::ExitGraceMs() { return LimitFromEnvironment("QV_CHILD_EXIT_GRACE_MS", kExitGraceMs); }
std::int64_t StatusChildRun::CurrentGroup() { return g_currentId.load(); }

bool StatusChildRun::StopCurrent() {
    std::lock_guard lock(g_currentMutex);
    return g_currentJob && ::TerminateJobObject(g_currentJob, 1) != 0;
}

std::wstring StatusChildRun::DescribeEnd(const Result& result) {
    if (result.end == End::kIdleStopped) {
        const long ms = IdleLimitMs();
        return L"no output for " + (ms % 1000 == 0 ? std::to_wstring(ms / 1000) + L" s" : std::to_wstring(ms) + L" ms") +
               L"; stopped";
    }
    // Exception codes (0xC0000005 and the like) read as what they are.
    const auto code = static_cast<unsigned>(result.exitStatus);
    if ((code & 0xC0000000u) == 0xC0000000u) {
        wchar_t hex[16];
        std::swprintf(hex, sizeof hex / sizeof hex[0], L"0x%08X", code);
        return L"exit status " + std::to_wstring(result.exitStatus) + L" (" + hex + L")";
    }
    return L"exit status " + std::to_wstring(result.exitStatus);
}

// Windows has no polite request for a windowless process: the job ends at once.
void StatusChildRun::StopGroup() {
    if (!process_->StopGroup()) QLOG(L"TerminateJobObject failed: %lu\r\n", ::GetLastError());
}

StatusChildRun::Result StatusChildRun::Run(const std::wstring& program, const std::wstring& commandLine,
                                           const LineParser& parse) {
    Result result;

    // 1. The program, held unchangeable until the child has started from it.
    Utils::UniqueHandle file;
    std::string problem = OpenChecked(program, file);
    const std::vector<std::wstring> args = Utils::SplitCommandLine(commandLine);
    if (problem.empty() && (args.empty() || args[0] != program)) problem = "the command line names another program";
    if (!problem.empty()) {
        result.error = problem;
        QLOG(L"%s not started: %S\r\n", program.c_str(), problem.c_str());
        return result;
    }

    // 2. Started in a job of its own that ends with the last handle to it, so the child and
    // what it starts end with the installer however it ends, unless let go below.
    Utils::SpawnOptions options;
    options.ownProcessGroup = true;
    options.stopWithStarter = true;
    try {
        process_ = std::make_unique<Utils::PipedProcess>();
        process_->Start(commandLine, options);
    } catch (const Utils::Exception& e) {
        result.error = e.what();
        QLOG(L"%s not started: %S\r\n", program.c_str(), e.what());
        process_.reset();
        return result;
    }
    file.Reset();
    const std::int64_t id = process_->Pid();
    Publish(process_->Native().job.Get(), id);

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
        QLOG(L"child %lld still runs after its final line; left running\r\n", static_cast<long long>(id));
        result.end = End::kLeftRunning;
        Publish(nullptr, 0);
        process_->LetGo();  // its job no longer ends it: the child outlives this runner and process
        process_.reset();   // closes the pipes
        return result;
    }
    if (end == ChildOutputPump::End::kIdle) {
        QLOG(L"child %lld silent for %ld ms; its job is ended\r\n", static_cast<long long>(id), IdleLimitMs());
        StopGroup();
        process_->Wait();
        result.end = End::kIdleStopped;
    } else {
        result.end = End::kEnded;
        result.exitStatus = process_->Wait();
        result.signal = 0;
    }
    Publish(nullptr, 0);
    process_.reset();
    return result;
}
