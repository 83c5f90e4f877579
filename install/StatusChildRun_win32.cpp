#include "install/StatusChildRun.h"

#include <atomic>
#include <cwchar>
#include <mutex>

#include "install/StatusChildRunSystem.h"
#include "utils/CommandLine.h"
#include "utils/Exception.h"
#include "utils/Log.h"
#include "utils/PipedProcess.h"
#include "utils/PipedProcess_win32.h"

namespace {

// The job of the child that runs now, borrowed from its PipedProcess for StopCurrent. The
// runner clears it under the lock before the job handle can close.
std::mutex g_currentMutex;
HANDLE g_currentJob = nullptr;
std::atomic<std::int64_t> g_currentId{0};

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

namespace StatusChildRunSystem {

const wchar_t* const kIdleStopNote = L"its job is ended";

// The program file stays open, unchangeable, until the child has started from it. The child
// runs in a job of its own that ends with the last handle to it, so the child and what it
// starts end with the installer however it ends, unless let go.
std::string Start(const std::wstring& program, const std::wstring& commandLine,
                  std::unique_ptr<Utils::PipedProcess>& process) {
    Utils::UniqueHandle file;
    const std::string problem = OpenChecked(program, file);
    if (!problem.empty()) return problem;
    const std::vector<std::wstring> args = Utils::SplitCommandLine(commandLine);
    if (args.empty() || args[0] != program) return "the command line names another program";
    Utils::SpawnOptions options;
    options.ownProcessGroup = true;
    options.stopWithStarter = true;
    try {
        process = std::make_unique<Utils::PipedProcess>();
        process->Start(commandLine, options);
    } catch (const Utils::Exception& e) {
        process.reset();
        return e.what();
    }
    return {};
}

void Publish(Utils::PipedProcess* process) {
    std::lock_guard lock(g_currentMutex);
    g_currentJob = process ? process->Native().job.Get() : nullptr;
    g_currentId.store(process ? process->Pid() : 0);
}

// Exception codes (0xC0000005 and the like) read as what they are.
std::wstring DescribeAbnormalEnd(const StatusChildRun::Result& result) {
    const auto code = static_cast<unsigned>(result.exitStatus);
    if ((code & 0xC0000000u) != 0xC0000000u) return {};
    wchar_t hex[16];
    std::swprintf(hex, sizeof hex / sizeof hex[0], L"0x%08X", code);
    return L"exit status " + std::to_wstring(result.exitStatus) + L" (" + hex + L")";
}

}  // namespace StatusChildRunSystem

std::int64_t StatusChildRun::CurrentGroup() { return g_currentId.load(); }

bool StatusChildRun::StopCurrent() {
    std::lock_guard lock(g_currentMutex);
    return g_currentJob && ::TerminateJobObject(g_currentJob, 1) != 0;
}

// Windows has no polite request for a windowless process: the job ends at once.
void StatusChildRun::StopGroup() {
    if (!process_->StopGroup()) QLOG(L"TerminateJobObject failed: %lu\r\n", ::GetLastError());
}
