// Runs the real installer executable (and a helper holding the lock) as child processes.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "app/CrashMarker.h"
#include "app/InstanceLock.h"
#include "tests/app/TestChild_win32.h"
#include "tests/support/TempDir.h"
#include "tools/collector/WinsockUse_win32.h"

namespace {

using namespace std::chrono_literals;
using testsupport::OwnedHandle;
using testsupport::Quoted;
using testsupport::RuntimePath;
using testsupport::TestChild;

constexpr DWORD kExitAlreadyRunning = 0xFFFFFFFFu;  // -1
constexpr DWORD kExitBadFolder = 2;

// An unattended run that stops at its first folder check (a file stands where a folder is
// needed), so it never depends on a server; exit code 2 and a line on standard error.
std::wstring QuickRun(const testsupport::TempDir& dir) {
    const auto inTheWay = dir.Write("file", "x");
    return Quoted(RuntimePath(INSTALLER_EXE)) + L" -silent -isenableappanalytics=false " +
           Quoted(L"-installdir=" + (inTheWay / "sub").wstring());
}

}  // namespace

namespace {

// A helper process with no console and no handle of this process, not even the standard ones,
// in a job that ends it when this process lets go of the job, however this process ends. Under
// wine a console child ended while it was still setting up its console left wine's console host
// running for good, and every wine process keeps the test runner's error stream: the runner
// then waited for that stream to close until its own time limit.
class DetachedChild {
public:
    explicit DetachedChild(std::wstring commandLine) {
        job_ = OwnedHandle(::CreateJobObjectW(nullptr, nullptr));
        if (!job_.Valid()) return;
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!::SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) return;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS | CREATE_SUSPENDED,
                              nullptr, nullptr, &startup, &info))
            return;
        OwnedHandle process(info.hProcess);
        const OwnedHandle thread(info.hThread);
        // In the job before it runs a single instruction of its own.
        if (!::AssignProcessToJobObject(job_.Get(), info.hProcess) || ::ResumeThread(info.hThread) == DWORD(-1)) {
            ::TerminateProcess(info.hProcess, 1);
            return;
        }
        process_ = std::move(process);
    }
    ~DetachedChild() { Kill(); }
    DetachedChild(const DetachedChild&) = delete;
    DetachedChild& operator=(const DetachedChild&) = delete;

    bool Started() const { return process_.Valid(); }
    HANDLE Process() const { return process_.Get(); }
    DWORD ExitCode() const {
        DWORD code = 0;
        return ::GetExitCodeProcess(process_.Get(), &code) ? code : DWORD(-2);
    }
    // Ends it outright, as a crash would; true once it is gone.
    bool Kill() {
        if (!Started()) return true;
        ::TerminateProcess(process_.Get(), 99);
        return ::WaitForSingleObject(process_.Get(), 10000) == WAIT_OBJECT_0;
    }

private:
    OwnedHandle job_;  // closed last: ends whatever of the child is left
    OwnedHandle process_;
};

// Wine starts its desktop process for the first program of a session that asks for a desktop
// (the installer, a GUI program, does) and hands it that program's standard streams for good: a
// child's output pipe then never reaches its end and the test waits on it for ever. Asked for
// here with the streams on the null device, the desktop holds nothing a test waits on. On
// Windows the desktop is always there and this changes nothing.
void StartDesktopQuietly() {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const OwnedHandle nul(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        &inherit, OPEN_EXISTING, 0, nullptr));
    if (!nul.Valid()) return;
    constexpr DWORD kStreams[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE saved[3];
    for (int i = 0; i < 3; ++i) {
        saved[i] = ::GetStdHandle(kStreams[i]);
        ::SetStdHandle(kStreams[i], nul.Get());
    }
    ::GetDesktopWindow();
    for (int i = 0; i < 3; ++i) ::SetStdHandle(kStreams[i], saved[i]);
}

}  // namespace

TEST(Startup_SingleInstance, AnotherProcessHoldingTheMutexMakesTheInstallerExitWithMinusOne) {
    StartDesktopQuietly();
    testsupport::TempDir dir;
    // The holder reports through an event: it has no output stream a stray process could keep.
    const std::wstring heldName = L"Local\\qv-test-lock-held-" + std::to_wstring(::GetCurrentProcessId());
    const OwnedHandle held(::CreateEventW(nullptr, TRUE, FALSE, heldName.c_str()));
    ASSERT_TRUE(held.Valid()) << ::GetLastError();
    DetachedChild holder(Quoted(RuntimePath(APP_TEST_CHILD)) + L" hold-lock " + heldName);
    ASSERT_TRUE(holder.Started()) << ::GetLastError();
    const HANDLE heldOrEnded[] = {held.Get(), holder.Process()};
    const DWORD woke = ::WaitForMultipleObjects(2, heldOrEnded, FALSE, 30000);
    ASSERT_NE(woke, WAIT_OBJECT_0 + 1) << "the holder ended with " << holder.ExitCode()
                                       << " (2: a process outside this test holds the mutex)";
    ASSERT_EQ(woke, WAIT_OBJECT_0) << "the holder did not take the mutex within 30 s";
    {
        TestChild second(QuickRun(dir));
        EXPECT_EQ(second.Wait(60s), kExitAlreadyRunning);
        EXPECT_EQ(second.Output(), "");  // silently: no window, no message
    }
    // The holder dies without releasing: the system frees the mutex with its last handle.
    ASSERT_TRUE(holder.Kill());
    TestChild third(QuickRun(dir));
    EXPECT_EQ(third.Wait(60s), kExitBadFolder) << third.Output();
}

TEST(Startup_SingleInstance, TheInstallerAndThisProcessAgreeOnTheMutexName) {
    StartDesktopQuietly();
    testsupport::TempDir dir;
    InstanceLock lock;
    EXPECT_EQ(lock.ObjectName(), L"D1A547DB89C0BC61_Installer_Quorvex");
    ASSERT_TRUE(lock.Acquire());
    {
        TestChild second(QuickRun(dir));
        EXPECT_EQ(second.Wait(60s), kExitAlreadyRunning);
    }
    lock.Release();
    TestChild third(QuickRun(dir));
    EXPECT_EQ(third.Wait(60s), kExitBadFolder) << third.Output();
}

TEST(Startup_Streams, AnUnattendedRunWritesToTheStreamsItInherits) {
    StartDesktopQuietly();
    // A GUI program: its output reaches a test (or a redirection) only through the standard
    // handles it was given.
    testsupport::TempDir dir;
    TestChild run(QuickRun(dir));
    ASSERT_EQ(run.Wait(60s), kExitBadFolder);
    EXPECT_NE(run.Output().find("quorvex-installer: "), std::string::npos) << run.Output();
}

namespace {

// A loopback port that accepts connections (into its backlog) and never answers: a download
// from it stalls.
class SilentServer {
public:
    SilentServer() {
        if (!winsock_.Started()) return;
        socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (socket_ == INVALID_SOCKET || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(socket_, 16) != 0 || ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
    }
    ~SilentServer() {
        if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    int Port() const { return port_; }

private:
    collector::WinsockUse winsock_;  // first in, last out: outlives the socket
    SOCKET socket_ = INVALID_SOCKET;
    int port_ = 0;
};

}  // namespace

TEST(Startup_Crash, AFaultInTheInstallerIsTakenByItsReporterAtOnceAndALeftMarkerByTheNextStart) {
    StartDesktopQuietly();
    testsupport::TempDir dir;
    SilentServer server;
    ASSERT_GT(server.Port(), 0);
    // Under wine the crash of a GUI program would wait in a crash dialog no one closes; on
    // Windows the key means nothing.
    HKEY wineDebugger = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &wineDebugger, nullptr) == ERROR_SUCCESS) {
        const DWORD off = 0;
        ::RegSetValueExW(wineDebugger, L"ShowCrashDialog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off);
        ::RegCloseKey(wineDebugger);
    }
    const CrashMarker marker(CrashMarker::DefaultPath());
    marker.Take();  // a stale one of an earlier run
    TestChild installer(Quoted(RuntimePath(INSTALLER_EXE)) + L" -silent -isenableappanalytics=false -ischecknet=false " +
                        Quoted(L"-installdir=" + (dir.path() / L"Quorvex").wstring()) +
                        L" -downloadurl=http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/p.exe");
    ASSERT_TRUE(installer.Started());
    ::Sleep(3000);  // into its stalled download
    ASSERT_FALSE(installer.Wait(0ms).has_value()) << "ended early: " << installer.Output();
    // A thread of the installer's own that jumps nowhere: an access violation nothing handles.
    const auto nowhere = reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<std::uintptr_t>(0x10));
    testsupport::OwnedHandle thread(::CreateRemoteThread(installer.Process(), nullptr, 0, nowhere, nullptr, 0, nullptr));
    ASSERT_TRUE(thread.Valid()) << ::GetLastError();
    const auto code = installer.Wait(60s);
    ASSERT_TRUE(code.has_value()) << "the crashed installer hung";
    EXPECT_EQ(*code, 0xC0000005u);
    // The reporter the crash handler started takes the marker at once (it sends nothing here:
    // analytics is off).
    bool taken = false;
    for (int i = 0; i < 100 && !(taken = !std::filesystem::exists(marker.Path())); ++i) ::Sleep(50);
    EXPECT_TRUE(taken) << testsupport::ReadFile(marker.Path());

    // A marker that no reporter took (one that could not start) is reported by the next start,
    // whatever that start then does.
    marker.Write(static_cast<int>(0xC0000005u));
    TestChild next(QuickRun(dir));
    EXPECT_EQ(next.Wait(60s), kExitBadFolder) << next.Output();
    EXPECT_FALSE(std::filesystem::exists(marker.Path()));
}
