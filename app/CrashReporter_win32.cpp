#include "app/CrashReporter.h"

#include <atomic>
#include <cwchar>
#include <memory>
#include <string>

#include "utils/SpecialFolders.h"
#include "utils/UniqueHandle_win32.h"

namespace {

// The longest command line CreateProcessW takes, with its terminating zero.
constexpr size_t kMaxCommandLine = 32767;

// The reporter's command line, built once before any crash. CreateProcessW may write into the
// line it is given, so it gets a copy in fixed storage (the filter must not touch the heap).
struct Plan {
    std::wstring program;
    std::wstring commandLine;
};

std::atomic<const Plan*> g_plan{nullptr};
wchar_t g_lineCopy[kMaxCommandLine];
std::atomic<bool> g_launched{false};

// What follows the program's name on this process's command line, as the system holds it
// (quoting untouched). The name ends at the closing quote when it starts with one, otherwise at
// the first blank: the rule the system itself applies to the first token.
std::wstring OwnArgumentsText() {
    const wchar_t* line = ::GetCommandLineW();
    if (!line) return {};
    const wchar_t* p = line;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

}  // namespace

bool CrashReporter::Prepare(const std::filesystem::path& program) {
    auto plan = std::make_unique<Plan>();
    plan->program = program.empty() ? Utils::ExecutablePath().wstring() : program.wstring();
    if (plan->program.empty()) return false;
    plan->commandLine = L"\"" + plan->program + L"\" " + kOption;
    const std::wstring rest = OwnArgumentsText();
    if (!rest.empty()) plan->commandLine += L" " + rest;
    if (plan->commandLine.size() >= kMaxCommandLine) return false;
    // An earlier plan stays allocated: a filter on another thread may still be reading it.
    g_plan.store(plan.release(), std::memory_order_release);
    return true;
}

bool CrashReporter::Launch() noexcept {
    const Plan* plan = g_plan.load(std::memory_order_acquire);
    // One reporter per process: the copy of the line below is shared.
    if (!plan || g_launched.exchange(true)) return false;
    std::wmemcpy(g_lineCopy, plan->commandLine.c_str(), plan->commandLine.size() + 1);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // No handle is inherited: the reporter opens what it needs itself.
    if (!::CreateProcessW(plan->program.c_str(), g_lineCopy, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info))
        return false;
    const Utils::UniqueHandle process(info.hProcess);
    const Utils::UniqueHandle thread(info.hThread);
    return true;
}
