// A crash of the real installer is reported at once by the reporter process its crash handler
// starts; what that reporter cannot deliver is sent by the next start, once.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/install/ProcessTableLock.h"
#include "tests/support/TempDir.h"
#include "tools/collector/TestCollector.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char kCrashTask[] = "崩溃退出";
constexpr char kMarker[] = ".local/state/VarNelSoft/Quorvex_Installer.crash";

// Starts the installer with `home` as HOME and runtime folder and `args` after its name;
// standard error goes to `errFile`. Returns its pid, or -1.
pid_t StartInstaller(const fs::path& home, std::vector<std::string> args, const fs::path& errFile) {
    // The trace on standard error too: the tests read it there.
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + home.string(), "HOME=" + home.string(), "PATH=/usr/bin:/bin",
                                    "QV_TRACE=stderr"};
    for (const char* name : {"DISPLAY", "XAUTHORITY"})
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    args.insert(args.begin(), INSTALLER_EXE);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, INSTALLER_EXE, &fa, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

// A loopback port that accepts connections (into its backlog) and never answers: a download
// that stalls.
struct SilentServer {
    SilentServer() {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(fd, 16) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            throw std::runtime_error("silent server");
        port = ntohs(addr.sin_port);
    }
    ~SilentServer() { close(fd); }
    int fd = -1;
    int port = 0;
};

// The port of the build's collection host (QV_COLLECT_HOST), or 0 when it is not on this machine.
int CollectPort() {
    const std::string host = QV_COLLECT_HOST;
    if (host.rfind("http://127.0.0.1:", 0) != 0) return 0;
    return std::atoi(host.c_str() + host.rfind(':') + 1);
}

// Keeps the collection port bound without listening, so uploads are refused: the collector
// is down. Other test programs hold the port for a while at times: it is retried.
struct CollectorDown {
    CollectorDown() {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(CollectPort()));
        for (int i = 0; i < 200 && !held && CollectPort() > 0; ++i) {
            fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            held = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
            if (!held) {
                if (fd >= 0) close(fd);
                fd = -1;
                usleep(50000);
            }
        }
    }
    ~CollectorDown() {
        if (fd >= 0) close(fd);
    }
    int fd = -1;
    bool held = false;
};

// The test collector on the collection port, when it can have it.
bool StartCollector(collector::TestCollector& collector) {
    const int port = CollectPort();
    for (int i = 0; i < 100 && port > 0; ++i) {
        if (collector.Start(static_cast<uint16_t>(port))) return true;
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

// The analytics identities kept under `home`: other programs of the build may send to the same
// collector, only records of these count.
std::set<std::string> Identities(const fs::path& home) {
    std::set<std::string> ids;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(home, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() < 17 || name.compare(name.size() - 17, 17, "_VNSConfigure.ini") != 0) continue;
        std::istringstream lines(testsupport::ReadFile(it->path()));
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("DistinctId=", 0) == 0) ids.insert(line.substr(11, line.find_last_not_of("\r") - 10));
    }
    return ids;
}

// How many crash task records and tracker crash records the collector kept from `home`'s runs.
std::pair<int, int> CrashRecords(const collector::TestCollector& collector, const fs::path& home) {
    const auto ids = Identities(home);
    int tasks = 0, crashes = 0;
    for (const auto& record : collector.Records()) {
        if (!ids.count(record.value("distinct_id", ""))) continue;
        const std::string event = record.value("event", "");
        if (event == "VnEventTask" && record["properties"].value("vn_task_name", "") == kCrashTask) ++tasks;
        if (event == "AppCrashed") ++crashes;
    }
    return {tasks, crashes};
}

std::string Staged(const fs::path& home) {
    std::string staged;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(home, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().filename() == "EventCollect.staging") staged += testsupport::ReadFile(it->path());
    return staged;
}

// Crashes an unattended run where it stalls in its download. Returns the crashed run's wait
// status and sets `crashedAt` to the moment of the crash. Its pre-check for a running
// uninstaller copy looks at every process on the machine, so a test running one in parallel can
// end it early: then it is simply started again.
int CrashAnInstaller(const fs::path& home, const fs::path& errFile, std::chrono::steady_clock::time_point& crashedAt) {
    SilentServer server;
    int status = 0;
    for (int attempt = 0; attempt < 20; ++attempt) {
        const pid_t pid = StartInstaller(home,
                                         {"-silent", "-installdir=" + (home / "Quorvex").string(), "-downloadtype=1",
                                          "-ischecknet=false",
                                          "-downloadurl=http://127.0.0.1:" + std::to_string(server.port) + "/p.exe"},
                                         errFile);
        if (pid <= 0) return -1;
        for (int i = 0; i < 500 && testsupport::ReadFile(errFile).find("START") == std::string::npos; ++i)
            usleep(10000);
        usleep(300000);
        if (waitpid(pid, &status, WNOHANG) == pid) {  // ended before the crash
            usleep(200000);
            continue;
        }
        crashedAt = std::chrono::steady_clock::now();
        if (kill(pid, SIGSEGV) != 0 || waitpid(pid, &status, 0) != pid) return -1;
        return status;
    }
    return -1;
}

// A start after the crash (an unattended run refused at its first pre-checks: the folder
// cannot be made); returns its exit code.
int StartAgain(const testsupport::TempDir& home) {
    const auto inTheWay = home / "file";
    if (!fs::exists(inTheWay)) home.Write("file", "x");
    const pid_t pid =
        StartInstaller(home.path(), {"-silent", "-installdir=" + (inTheWay / "sub").string()}, home / "next-run.txt");
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace

TEST(CrashReport_AtOnce, TheCollectorGetsTheRecordsWithinTwoSecondsWithoutARestartAndOnlyOnce) {
    // The collector's fixed port, and installers that look for other tests' uninstallers.
    const installtest::ProcessTableLock processTable;
    collector::TestCollector collector;
    if (!StartCollector(collector)) GTEST_SKIP() << "the collection port of " << QV_COLLECT_HOST << " is not ours";
    testsupport::TempDir home;
    std::chrono::steady_clock::time_point crashedAt;
    const int status = CrashAnInstaller(home.path(), home / "crashed-run.txt", crashedAt);
    // The crashed process still ends by its own signal.
    ASSERT_TRUE(WIFSIGNALED(status)) << status << testsupport::ReadFile(home / "crashed-run.txt");
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    auto records = CrashRecords(collector, home.path());
    while (records != std::pair{1, 1} && std::chrono::steady_clock::now() - crashedAt < 2s) {
        std::this_thread::sleep_for(20ms);
        records = CrashRecords(collector, home.path());
    }
    EXPECT_EQ(records, (std::pair{1, 1})) << testsupport::ReadFile(home / "crashed-run.txt");
    std::this_thread::sleep_for(300ms);  // the reporter's last steps after its upload
    EXPECT_FALSE(fs::exists(home / kMarker));
    EXPECT_EQ(Staged(home.path()).find(kCrashTask), std::string::npos);

    // Delivered means done: the next start sends nothing of it again.
    const int next = StartAgain(home);
    EXPECT_TRUE(next == 2 || next == 5) << next;  // 5: a parallel test's uninstaller copy was seen first
    EXPECT_EQ(CrashRecords(collector, home.path()), (std::pair{1, 1}));
}

TEST(CrashReport_Later, WithTheCollectorDownTheNextStartSendsTheRecordsExactlyOnce) {
    // The collector's fixed port, and installers that look for other tests' uninstallers.
    const installtest::ProcessTableLock processTable;
    if (CollectPort() <= 0) GTEST_SKIP() << QV_COLLECT_HOST << " is not on this machine";
    testsupport::TempDir home;
    {
        CollectorDown down;
        if (!down.held) GTEST_SKIP() << "the collection port " << QV_COLLECT_HOST << " stays taken";
        std::chrono::steady_clock::time_point crashedAt;
        const int status = CrashAnInstaller(home.path(), home / "crashed-run.txt", crashedAt);
        ASSERT_TRUE(WIFSIGNALED(status)) << testsupport::ReadFile(home / "crashed-run.txt");
        EXPECT_EQ(WTERMSIG(status), SIGSEGV);
        // The reporter could not deliver: the records wait in the staging file, the marker is gone.
        for (int i = 0; i < 200 && Staged(home.path()).find("AppCrashed") == std::string::npos; ++i)
            std::this_thread::sleep_for(50ms);
        std::this_thread::sleep_for(300ms);
        EXPECT_NE(Staged(home.path()).find(kCrashTask), std::string::npos) << testsupport::ReadFile(home / "crashed-run.txt");
        EXPECT_FALSE(fs::exists(home / kMarker));
    }
    collector::TestCollector collector;
    if (!StartCollector(collector)) GTEST_SKIP() << "the collection port of " << QV_COLLECT_HOST << " is not ours";
    for (int run = 0; run < 2; ++run) {
        const int next = StartAgain(home);
        EXPECT_TRUE(next == 2 || next == 5) << next;
        EXPECT_EQ(CrashRecords(collector, home.path()), (std::pair{1, 1})) << "after start " << run + 1;
    }
}

TEST(CrashReport_Later, AMarkerNoReporterTookIsSentByTheNextStart) {
    // The collector's fixed port, and installers that look for other tests' uninstallers.
    const installtest::ProcessTableLock processTable;
    // A reporter that could not start (or died before the records were safe) leaves the marker.
    collector::TestCollector collector;
    if (!StartCollector(collector)) GTEST_SKIP() << "the collection port of " << QV_COLLECT_HOST << " is not ours";
    testsupport::TempDir home;
    home.Write(kMarker, "signal 6\n");
    const int next = StartAgain(home);
    EXPECT_TRUE(next == 2 || next == 5) << next;
    EXPECT_NE(testsupport::ReadFile(home / "next-run.txt").find("previous run crashed (signal 6)"), std::string::npos);
    EXPECT_FALSE(fs::exists(home / kMarker));
    EXPECT_EQ(CrashRecords(collector, home.path()), (std::pair{1, 1}));
}
