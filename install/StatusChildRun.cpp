#include "install/StatusChildRun.h"

#include <cerrno>
#include <cstdlib>

#include "install/ChildOutputPump.h"
#include "install/StatusChildRunSystem.h"
#include "install/StatusLineBuffer.h"
#include "utils/Log.h"
#include "utils/PipedProcess.h"

namespace {

// A limit in milliseconds from the environment; `fallback` when it is unset, not a whole
// number or negative.
long LimitFromEnvironment(const char* name, long fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 0) return fallback;
    return value;
}

}  // namespace

StatusChildRun::StatusChildRun() = default;

StatusChildRun::~StatusChildRun() = default;

long StatusChildRun::IdleLimitMs() { return LimitFromEnvironment("QV_CHILD_IDLE_LIMIT_MS", kIdleLimitMs); }
long StatusChildRun::ExitGraceMs() { return LimitFromEnvironment("QV_CHILD_EXIT_GRACE_MS", kExitGraceMs); }

std::wstring StatusChildRun::DescribeEnd(const Result& result) {
    if (result.end == End::kIdleStopped) {
        const long ms = IdleLimitMs();
        return L"no output for " + (ms % 1000 == 0 ? std::to_wstring(ms / 1000) + L" s" : std::to_wstring(ms) + L" ms") +
               L"; stopped";
    }
    std::wstring text = StatusChildRunSystem::DescribeAbnormalEnd(result);
    return text.empty() ? L"exit status " + std::to_wstring(result.exitStatus) : text;
}

StatusChildRun::Result StatusChildRun::Run(const std::wstring& program, const std::wstring& commandLine,
                                           const LineParser& parse) {
    Result result;

    // 1.-2. The checked program, started in a group of its own.
    result.error = StatusChildRunSystem::Start(program, commandLine, process_);
    if (!process_) {
        QLOG(L"%s not started: %S\r\n", program.c_str(), result.error.c_str());
        return result;
    }
    const long long id = process_->Pid();
    StatusChildRunSystem::Publish(process_.get());

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
        QLOG(L"child %lld still runs after its final line; left running\r\n", id);
        result.end = End::kLeftRunning;
        StatusChildRunSystem::Publish(nullptr);
        process_->LetGo();  // its group no longer ends it: the child outlives this runner and process
        process_.reset();   // closes the pipes
        return result;
    }
    if (end == ChildOutputPump::End::kIdle) {
        QLOG(L"child %lld silent for %ld ms; %s\r\n", id, IdleLimitMs(), StatusChildRunSystem::kIdleStopNote);
        StopGroup();
        process_->Wait();
        result.end = End::kIdleStopped;
    } else {
        result.end = End::kEnded;
        result.exitStatus = process_->Wait();
        result.signal = process_->TermSignal();
    }
    StatusChildRunSystem::Publish(nullptr);
    process_.reset();
    return result;
}
