#include "utils/PipedProcess.h"

#include "utils/CommandLine.h"
#include "utils/Exception.h"
#include "utils/FileHandle.h"
#include "utils/Pipe_win32.h"
#include "utils/StringUtils.h"
#include "utils/PipedProcess_win32.h"

namespace Utils {
namespace {

// CreateProcessW takes at most 32767 characters, the terminating zero included.
constexpr size_t kMaxCommandLine = 32766;

std::string SystemError(const char* what) { return std::string(what) + ": error " + std::to_string(::GetLastError()); }

// A job that ends everything in it when its last handle closes (`killOnClose`), or only groups
// the child's processes so that they can be ended together.
UniqueHandle NewJob(bool killOnClose) {
    UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    if (!job) throw Exception(SystemError("CreateJobObjectW"));
    if (killOnClose) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!::SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
            throw Exception(SystemError("SetInformationJobObject"));
    }
    return job;
}

// Takes the kill-on-close limit off a job: closing its handle then ends nothing.
bool ReleaseJob(HANDLE job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = 0;
    return ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) != 0;
}

// The attribute list that names the only handles the child inherits.
class InheritList {
public:
    explicit InheritList(HANDLE* handles, size_t count) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (!::InitializeProcThreadAttributeList(list_, 1, 0, &size))
            throw Exception(SystemError("InitializeProcThreadAttributeList"));
        initialised_ = true;
        if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, count * sizeof(HANDLE),
                                         nullptr, nullptr))
            throw Exception(SystemError("UpdateProcThreadAttribute"));
    }
    ~InheritList() {
        if (initialised_) ::DeleteProcThreadAttributeList(list_);
    }
    InheritList(const InheritList&) = delete;
    InheritList& operator=(const InheritList&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

private:
    std::vector<unsigned char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
    bool initialised_ = false;
};

// Makes the child's ends inheritable for the length of one start; the list above keeps them
// from reaching any other child started meanwhile with inheritance on.
class InheritableWhileStarting {
public:
    InheritableWhileStarting(HANDLE* handles, size_t count) : handles_(handles), count_(count) {
        for (size_t i = 0; i < count_; ++i)
            if (!::SetHandleInformation(handles_[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
                throw Exception(SystemError("SetHandleInformation"));
    }
    ~InheritableWhileStarting() {
        for (size_t i = 0; i < count_; ++i) ::SetHandleInformation(handles_[i], HANDLE_FLAG_INHERIT, 0);
    }
    InheritableWhileStarting(const InheritableWhileStarting&) = delete;
    InheritableWhileStarting& operator=(const InheritableWhileStarting&) = delete;

private:
    HANDLE* handles_;
    size_t count_;
};

std::wstring JoinArguments(const std::vector<std::string>& argv) {
    std::wstring line;
    for (const auto& arg : argv) {
        if (!line.empty()) line += L' ';
        line += QuoteArgument(FromUtf8(arg));
    }
    return line;
}

// Starts `line` hidden with the three pipe ends as its standard handles and, when asked for, in
// a job of its own; fills `handles` and returns the process id. The child is assigned to its
// job while still suspended, so nothing it starts can escape the job.
DWORD Launch(const std::wstring& line, const SpawnOptions& options, const std::filesystem::path& workingFolder,
             Pipe& in, Pipe& out, Pipe& err, PipedProcess::Handles& handles) {
    const std::vector<std::wstring> args = SplitCommandLine(line);
    if (args.empty() || args[0].empty()) throw Exception("empty command line");
    if (line.size() > kMaxCommandLine) throw Exception("command line longer than the system takes");
    // A program named with a folder is started as named: the system's guessing at blanks in an
    // unquoted path (C:\Program.exe for C:\Program Files\...) never comes into play. A bare
    // name is searched for as the system searches.
    const std::wstring& program = args[0];
    const bool named = program.find_first_of(L"\\/:") != std::wstring::npos;

    UniqueHandle job;
    if (options.ownProcessGroup || options.stopWithStarter) job = NewJob(options.stopWithStarter);

    HANDLE childEnds[3] = {in.Native().read.Native(), out.Native().write.Native(), err.Native().write.Native()};
    InheritableWhileStarting inheritable(childEnds, 3);
    InheritList inherit(childEnds, 3);

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = childEnds[0];
    startup.StartupInfo.hStdOutput = childEnds[1];
    startup.StartupInfo.hStdError = childEnds[2];
    startup.lpAttributeList = inherit.Get();

    // The system may write into the command line it is given.
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    const std::wstring folder = workingFolder.wstring();
    const DWORD flags = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT |
                        (job ? CREATE_SUSPENDED : 0);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(named ? program.c_str() : nullptr, buffer.data(), nullptr, nullptr, TRUE, flags, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &info))
        throw Exception(SystemError("CreateProcessW"));
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    if (job) {
        if (!::AssignProcessToJobObject(job.Get(), process.Get())) {
            const std::string why = SystemError("AssignProcessToJobObject");
            ::TerminateProcess(process.Get(), 1);  // it never ran a single instruction of its own
            throw Exception(why);
        }
        if (::ResumeThread(thread.Get()) == static_cast<DWORD>(-1)) {
            const std::string why = SystemError("ResumeThread");
            ::TerminateJobObject(job.Get(), 1);
            throw Exception(why);
        }
    }
    handles.process = std::move(process);
    handles.thread = std::move(thread);
    handles.job = std::move(job);
    return info.dwProcessId;
}

}  // namespace

PipedProcess::PipedProcess()
    : stderr_(std::make_unique<Pipe>(Pipe::KeptEnd::kRead)),
      stdout_(std::make_unique<Pipe>(Pipe::KeptEnd::kRead)),
      stdin_(std::make_unique<Pipe>(Pipe::KeptEnd::kWrite)),
      handles_(std::make_unique<Handles>()) {}

PipedProcess::~PipedProcess() {
    // The bond lasts while the child runs: once it has ended by itself, what it started lives
    // on (closing the job would end it), as it does where a guard process ends with the child.
    if (handles_->job && guarded_ && TryExitCode().has_value()) ReleaseJob(handles_->job.Get());
}

void PipedProcess::Start(const std::wstring& commandLine, const std::filesystem::path& workingFolder) {
    Start(commandLine, SpawnOptions{}, workingFolder);
}

void PipedProcess::Start(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder) {
    Start(JoinArguments(argv), SpawnOptions{}, workingFolder);
}

void PipedProcess::Start(const std::vector<std::string>& argv, const SpawnOptions& options,
                         const std::filesystem::path& workingFolder) {
    Start(JoinArguments(argv), options, workingFolder);
}

void PipedProcess::Start(const std::wstring& commandLine, const SpawnOptions& options,
                             const std::filesystem::path& workingFolder) {
    if (handles_->process || pid_ > 0) throw Exception("process already started");
    pid_ = Launch(commandLine, options, workingFolder, *stdin_, *stdout_, *stderr_, *handles_);
    guarded_ = options.stopWithStarter;
    grouped_ = options.ownProcessGroup || options.stopWithStarter;
    // The child's ends belong to the child now.
    stdout_->CloseWrite();
    stderr_->CloseWrite();
    stdin_->CloseRead();
}

std::optional<int> PipedProcess::TryExitCode() {
    if (exitCode_) return exitCode_;
    if (!handles_->process) return std::nullopt;
    const DWORD state = ::WaitForSingleObject(handles_->process.Get(), 0);
    if (state == WAIT_TIMEOUT) return std::nullopt;
    DWORD code = 0;
    // An exit code of 259 (STILL_ACTIVE) is only trusted once the handle says the process ended.
    if (state != WAIT_OBJECT_0 || !::GetExitCodeProcess(handles_->process.Get(), &code)) {
        exitCode_ = -1;
    } else {
        exitCode_ = static_cast<int>(code);
    }
    return exitCode_;
}

int PipedProcess::Wait() {
    if (exitCode_) return *exitCode_;
    if (!handles_->process) return -1;
    if (::WaitForSingleObject(handles_->process.Get(), INFINITE) != WAIT_OBJECT_0) {
        exitCode_ = -1;
        return -1;
    }
    return TryExitCode().value_or(-1);
}

bool PipedProcess::StopGroup() {
    if (!grouped_ || !handles_->job) return false;
    return ::TerminateJobObject(handles_->job.Get(), 1) != 0;
}

void PipedProcess::LetGo() {
    if (!guarded_ || !handles_->process || exitCode_) return;
    // Without the kill-on-close limit the job ends nothing when its handle closes: the child and
    // what it started stay, whatever becomes of this process.
    if (!ReleaseJob(handles_->job.Get())) return;  // still bound: better stopped later than lost track of
    handles_->job.Reset();
    handles_->thread.Reset();
    handles_->process.Reset();
    pid_ = -1;
    guarded_ = false;
    grouped_ = false;
}

}  // namespace Utils
