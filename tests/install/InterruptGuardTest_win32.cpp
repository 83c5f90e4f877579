// The interrupt guard end to end with real processes: a child with a console of its own arms
// the guard over a download's leftovers (and, where asked, runs the probe as the package), and
// a sender joins that console and sends Ctrl+C or Ctrl+Break as a user at the console would;
// the events no console can be made to send (its closing, the session ending) the sender
// delivers as the console host does, on a thread of the child. The child is watched for the
// exit code of the request, the leftovers, the last words and the line on its standard error.
//
// Every child runs in a job that ends it when the test lets go of it, and every wait is
// bounded; the child's standard error is a file, not a pipe, so no process that inherits it
// can keep the test waiting.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "utils/CommandLine.h"
#include "utils/StringUtils.h"
#include "utils/UniqueHandle_win32.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD kWaitMs = 20000;
constexpr DWORD kDefaultBreakExit = 0xC000013A;  // STATUS_CONTROL_C_EXIT: no handler took it

std::wstring ChildProgram() { return Utils::FromUtf8(INTERRUPT_CHILD); }

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// One child process in a kill-on-close job, ended with the job at the end of the scope.
class Child {
public:
    // `flags` add to CREATE_SUSPENDED; `errorFile`, when given, becomes the child's standard
    // error, and its standard output too unless `output` (an inheritable handle) is given.
    Child(const std::vector<std::wstring>& args, DWORD flags, const fs::path& errorFile = {},
          HANDLE output = nullptr) {
        job_.Reset(::CreateJobObjectW(nullptr, nullptr));
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!job_ ||
            !::SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
            error_ = "job: " + std::to_string(::GetLastError());
            return;
        }
        std::wstring command = Utils::QuoteArgument(ChildProgram());
        for (const auto& arg : args) command += L" " + Utils::QuoteArgument(arg);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        Utils::UniqueHandle errors;
        if (!errorFile.empty()) {
            SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
            errors.Reset(::CreateFileW(errorFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!errors) {
                error_ = "error file: " + std::to_string(::GetLastError());
                return;
            }
            startup.dwFlags |= STARTF_USESTDHANDLES;
            startup.hStdOutput = output ? output : errors.Get();
            startup.hStdError = errors.Get();
        }
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(ChildProgram().c_str(), command.data(), nullptr, nullptr, errors ? TRUE : FALSE,
                              flags | CREATE_SUSPENDED, nullptr, nullptr, &startup, &info)) {
            error_ = "CreateProcessW: " + std::to_string(::GetLastError());
            return;
        }
        process_.Reset(info.hProcess);
        const Utils::UniqueHandle thread(info.hThread);
        id_ = info.dwProcessId;
        if (!::AssignProcessToJobObject(job_.Get(), info.hProcess) || ::ResumeThread(info.hThread) == DWORD(-1)) {
            error_ = "job or resume: " + std::to_string(::GetLastError());
            ::TerminateProcess(info.hProcess, 1);
            process_.Reset();
        }
    }

    const std::string& Error() const { return error_; }
    bool Started() const { return static_cast<bool>(process_); }
    DWORD Id() const { return id_; }
    HANDLE Process() const { return process_.Get(); }

    // The exit code, once the child ended within `ms`.
    std::optional<DWORD> Wait(DWORD ms) const {
        if (::WaitForSingleObject(process_.Get(), ms) != WAIT_OBJECT_0) return std::nullopt;
        DWORD code = 0;
        if (!::GetExitCodeProcess(process_.Get(), &code)) return std::nullopt;
        return code;
    }

private:
    Utils::UniqueHandle job_;  // closed last: ends what is left of the child
    Utils::UniqueHandle process_;
    DWORD id_ = 0;
    std::string error_;
};

class InterruptGuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        Prepare();
        static std::atomic<int> serial{0};
        eventName_ = L"Local\\qv-interrupt-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                     std::to_wstring(++serial);
        ready_.Reset(::CreateEventW(nullptr, TRUE, FALSE, eventName_.c_str()));
        ASSERT_TRUE(ready_) << ::GetLastError();
    }

    // The download's leftovers, files beside them that must stay, and no trace of a stop yet.
    void Prepare() {
        if (ready_) ::ResetEvent(ready_.Get());
        for (const char* gone : {"mark", "stderr.txt", "sender.txt"}) fs::remove(tmp_ / gone);
        for (const char* name : {"__Package_Quorvex.exe", "__Package_Quorvex.exe.part", "__Package_Quorvex.exe_1",
                                 "Package_Quorvex.exe", "notes.txt"})
            std::ofstream(tmp_ / name) << "x";
    }

    // Starts the guarded child with a console of its own, and a process group of its own when
    // the request is Ctrl+Break (which goes to one group), and waits until it is ready for the
    // request. Ctrl+C cannot be aimed at a group: it goes to every process of the console (on
    // Windows) or of the sender's group there (wine), so that child stays in this process's group.
    std::unique_ptr<Child> StartGuarded(const std::string& mode, const std::string& request, bool withPackage = false,
                                        HANDLE output = nullptr) {
        std::vector<std::wstring> args{Utils::FromUtf8(mode), tmp_.path().wstring(), eventName_};
        if (withPackage) args.push_back(Utils::FromUtf8(CHILD_PROBE));
        const DWORD group = request == "break" ? CREATE_NEW_PROCESS_GROUP : 0;
        auto child = std::make_unique<Child>(args, CREATE_NEW_CONSOLE | group, tmp_ / "stderr.txt", output);
        if (!child->Started()) {
            ADD_FAILURE() << child->Error();
            return nullptr;
        }
        const HANDLE waits[] = {ready_.Get(), child->Process()};
        const DWORD woke = ::WaitForMultipleObjects(2, waits, FALSE, kWaitMs);
        if (woke != WAIT_OBJECT_0) {
            const auto code = child->Wait(0);
            ADD_FAILURE() << "the child was not ready: wait " << woke << ", exit code "
                          << (code ? std::to_string(*code) : std::string("none"));
            return nullptr;
        }
        return child;
    }

    struct Sent {
        DWORD code;          // the sender's exit code: 0 when the event went out
        std::string report;  // what it wrote when it failed
    };
    // Runs the sender (a copy of the child program) with `args` after its mode and the target.
    Sent RunSender(const char* mode, const Child& target, const std::vector<std::wstring>& args) {
        const fs::path report = tmp_ / "sender.txt";
        std::vector<std::wstring> all{Utils::FromUtf8(mode), std::to_wstring(target.Id())};
        all.insert(all.end(), args.begin(), args.end());
        const Child sender(all, DETACHED_PROCESS, report);
        if (!sender.Started()) return {99, sender.Error()};
        const auto code = sender.Wait(kWaitMs);
        return {code ? *code : 98, ReadFile(report)};
    }
    // Sends Ctrl+C or Ctrl+Break ("c", "break") from the child's console to process group
    // `group` (0: the whole console), as a user at that console does.
    Sent Send(const Child& target, const std::string& what, DWORD group = 0) {
        return RunSender("send", target, {Utils::FromUtf8(what), std::to_wstring(group)});
    }
    // Delivers an event ("break", "close", "logoff", "shutdown") the way the console host does.
    Sent Raise(const Child& target, const std::string& what) {
        return RunSender("raise", target, {Utils::FromUtf8(what)});
    }

    bool Exists(const char* name) const { return fs::exists(tmp_ / name); }

    void ExpectStopped(const Child& child, DWORD exitCode, const std::string& line) {
        const auto code = child.Wait(kWaitMs);
        ASSERT_TRUE(code.has_value()) << "the child did not end after the request";
        EXPECT_EQ(*code, exitCode);
        EXPECT_FALSE(Exists("__Package_Quorvex.exe"));
        EXPECT_FALSE(Exists("__Package_Quorvex.exe.part"));
        EXPECT_FALSE(Exists("__Package_Quorvex.exe_1"));
        EXPECT_TRUE(Exists("Package_Quorvex.exe")) << "only the package's own leftovers go";
        EXPECT_TRUE(Exists("notes.txt"));
        EXPECT_EQ(ReadFile(tmp_ / "mark"), "hook ran\n");
        // The C runtime writes the line feed as CR LF on Windows.
        std::string errors = ReadFile(tmp_ / "stderr.txt");
        std::erase(errors, '\r');
        EXPECT_NE(errors.find("quorvex-installer: stopped by " + line + "\n"),
                  std::string::npos)
            << errors;
    }

    testsupport::TempDir tmp_;
    std::wstring eventName_;
    Utils::UniqueHandle ready_;
};

// Wine's ntdll exports its version; Windows's does not.
bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

TEST_F(InterruptGuardTest, CtrlBreakFromTheConsoleStopsTheInstallAndCleansUp) {
    auto child = StartGuarded("armed", "break");
    ASSERT_TRUE(child);
    const Sent sent = Send(*child, "break", child->Id());
    // Measured with wine 8.0: GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, ...) fails with
    // ERROR_INVALID_HANDLE for every group (0 or the child's) while Ctrl+C goes out; the event
    // itself is covered by EveryConsoleEventEndsTheInstallWithItsCode.
    if (UnderWine() && sent.code == 13 && sent.report.find("GenerateConsoleCtrlEvent: 6") != std::string::npos)
        GTEST_SKIP() << "wine cannot send Ctrl+Break through a console: " << sent.report;
    ASSERT_EQ(sent.code, 0u) << sent.report;
    ExpectStopped(*child, 143, "Ctrl+Break");
}

TEST_F(InterruptGuardTest, CtrlCFromTheConsoleStopsTheInstallAndCleansUp) {
    auto child = StartGuarded("armed", "c");
    ASSERT_TRUE(child);
    const Sent sent = Send(*child, "c");
    ASSERT_EQ(sent.code, 0u) << sent.report;
    ExpectStopped(*child, 130, "Ctrl+C");
}

// The events a console cannot be made to send (its closing, the session ending), delivered as
// the console host delivers them.
TEST_F(InterruptGuardTest, EveryConsoleEventEndsTheInstallWithItsCode) {
    const struct {
        const char* event;
        DWORD exitCode;
        const char* line;
    } cases[] = {{"break", 143, "Ctrl+Break"},
                 {"close", 129, "the console closing"},
                 {"logoff", 143, "the session ending"},
                 {"shutdown", 143, "the session ending"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.event);
        Prepare();
        auto child = StartGuarded("armed", "break");
        ASSERT_TRUE(child);
        const Sent sent = Raise(*child, c.event);
        ASSERT_EQ(sent.code, 0u) << sent.report;
        ExpectStopped(*child, c.exitCode, c.line);
    }
}

// The package runs in a job of its own under the guarded process: the stop ends it too, not
// only the installer.
TEST_F(InterruptGuardTest, TheRunningPackageEndsWithTheInstall) {
    auto child = StartGuarded("armed", "c", true);
    ASSERT_TRUE(child);
    long long packageId = 0;
    std::ifstream(tmp_ / "probe.pids") >> packageId;
    ASSERT_GT(packageId, 0);
    const Utils::UniqueHandle package(::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(packageId)));
    ASSERT_TRUE(package) << ::GetLastError();
    ASSERT_EQ(::WaitForSingleObject(package.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    const Sent sent = Send(*child, "c");
    ASSERT_EQ(sent.code, 0u) << sent.report;
    ExpectStopped(*child, 130, "Ctrl+C");
    EXPECT_EQ(::WaitForSingleObject(package.Get(), kWaitMs), static_cast<DWORD>(WAIT_OBJECT_0));
}

// An install whose output no one reads any more is blocked in a write, holding the stream,
// when the request comes: the stop still ends it with its code and its clean-up.
TEST_F(InterruptGuardTest, AnInstallBlockedOnItsOutputStillStops) {
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, &inherit, 4096)) << ::GetLastError();
    const Utils::UniqueHandle reader(readEnd), writer(writeEnd);
    ASSERT_TRUE(::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0)) << ::GetLastError();
    auto child = StartGuarded("flooding", "break", false, writeEnd);
    ASSERT_TRUE(child);
    DWORD available = 0;
    for (int waited = 0; waited < 5000 && available == 0; waited += 50) {
        ::Sleep(50);
        ASSERT_TRUE(::PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) << ::GetLastError();
    }
    ASSERT_GT(available, 0u) << "the child wrote nothing";
    ::Sleep(300);  // the pipe is full by now and the child's write waits
    const Sent sent = Raise(*child, "close");
    ASSERT_EQ(sent.code, 0u) << sent.report;
    ExpectStopped(*child, 129, "the console closing");
}

// A guard that was put away leaves the request to its default course: the process ends
// without clean-up or last words.
TEST_F(InterruptGuardTest, AGuardPutAwayNoLongerHandlesTheRequest) {
    auto child = StartGuarded("disarmed", "c");
    ASSERT_TRUE(child);
    const Sent sent = Send(*child, "c");
    ASSERT_EQ(sent.code, 0u) << sent.report;
    const auto code = child->Wait(kWaitMs);
    ASSERT_TRUE(code.has_value()) << "the child did not end after the request";
    // Windows's default handler exits with STATUS_CONTROL_C_EXIT; wine's (8.0) with 0. The
    // child itself never exits with 0.
    EXPECT_EQ(*code, UnderWine() ? 0u : kDefaultBreakExit);
    EXPECT_TRUE(Exists("__Package_Quorvex.exe"));
    EXPECT_FALSE(Exists("mark"));
}

}  // namespace
