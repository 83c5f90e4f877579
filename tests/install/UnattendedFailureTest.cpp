// End to end: the unattended installer's failures, each with its exit code, what it leaves on
// disk and the analytics records the collector received.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>

#include "tests/install/NamedSleeper_posix.h"
#include "tests/install/UnattendedHarness.h"

namespace fs = std::filesystem;
using installtest::Ini;
using installtest::Launch;
using installtest::NamedSleeper;
using installtest::Result;
using UnattendedFailureTest = installtest::UnattendedTest;

namespace {

constexpr int kNamespaceRefused = 121;

// True when the process is gone (or only a zombie waiting for a parent that is not us).
bool Gone(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return true;
    const size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z';
}

bool BothGone(const fs::path& pidFile) {
    std::ifstream in(pidFile);
    pid_t package = 0, child = 0;
    if (!(in >> package >> child)) return false;
    for (int i = 0; i < 100 && !(Gone(package) && Gone(child)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return Gone(package) && Gone(child);
}

}  // namespace

TEST_F(UnattendedFailureTest, PreCheckFailuresHaveTheirExitCodesAndDownloadNothing) {
    // 3: less than 1 GiB available (a 64 MiB file system of its own).
    fs::create_directories(tmp / "small");
    Launch small{InstallArgs(tmp / "small" / "Pelmora")};
    small.tmpfsOn = (tmp / "small").string();
    const Result low = Run(small);
    if (low.exitCode == kNamespaceRefused) {
        std::printf("no private mount namespace: exit code 3 is not tested\n");
    } else {
        EXPECT_EQ(low.exitCode, 3) << low.err;
        EXPECT_NE(low.err.find("Available disk space less than 1GB"), std::string::npos) << low.err;
    }

    // 4: the network probe finds no network (a network namespace with loopback only).
    Launch offline{InstallArgs(tmp / "offline")};
    offline.args.push_back("-ischecknet=true");
    offline.noNetwork = true;
    const Result poor = Run(offline);
    if (poor.exitCode == kNamespaceRefused) {
        std::printf("no private network namespace: exit code 4 is not tested\n");
    } else {
        EXPECT_EQ(poor.exitCode, 4) << poor.err;
        EXPECT_NE(poor.err.find("The current network is poor"), std::string::npos) << poor.err;
    }

    // 5: a copy of the previous uninstaller runs.
    {
        NamedSleeper uninstaller(tmp / "bin" / "Pelmora_un_asa.exe");
        const Result busy = Install(tmp / "busy");
        EXPECT_EQ(busy.exitCode, 5) << busy.err;
        EXPECT_NE(busy.err.find("The software is running"), std::string::npos) << busy.err;
    }

    // 2: a folder name a package cannot take.
    const Result blank = Install(tmp / "trailing blank ");
    EXPECT_EQ(blank.exitCode, 2) << blank.err;
    EXPECT_FALSE(fs::exists(tmp / "trailing blank "));

    EXPECT_EQ(Gets(), 0);
    if (collecting) {
        EXPECT_TRUE(Tasks().empty()) << testing::PrintToString(Tasks());
    }
}

TEST_F(UnattendedFailureTest, AnUnusablePrivateTemporaryFolderIsItsOwnCause) {
    const fs::path folder = tmp / "app";
    ASSERT_EQ(Install(folder).exitCode, 0);
    // Open to others: the installer will not put the uninstaller copy there.
    const fs::path privateTemp = tmp / "runtime" / "~VarNelTemp.92482B06FB471E17";
    fs::create_directories(privateTemp);
    fs::permissions(privateTemp, fs::perms(0755));
    server->ClearRequests();
    const Result result = Install(folder);
    EXPECT_EQ(result.exitCode, 9) << result.err;
    EXPECT_NE(result.err.find("private temporary folder"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("The software is running"), std::string::npos) << result.err;
    EXPECT_EQ(Gets(), 0);
    EXPECT_TRUE(fs::exists(folder / "compressor.exe"));
}

TEST_F(UnattendedFailureTest, APackageThatFailsWithoutAFinalLineIsAFailure) {
    struct Case {
        const char* switches;
        const char* text;
    };
    for (const Case c : {Case{"--silent --exit=1", "exit status 1"}, Case{"--crash", "ended by signal 6"}}) {
        SCOPED_TRACE(c.switches);
        collector.ClearRecords();
        const fs::path folder = tmp / "failing";
        const Result result = Install(folder, c.switches);
        EXPECT_EQ(result.exitCode, 8) << result.out << result.err;
        EXPECT_NE(result.err.find(c.text), std::string::npos) << result.err;
        EXPECT_EQ(result.out.find("installed:"), std::string::npos) << result.out;
        EXPECT_TRUE(PackageLeftovers(folder).empty());
        EXPECT_EQ(Registry("InstallPath"), "<none>");
        if (collecting) {
            const auto tasks = Tasks();
            ASSERT_EQ(tasks.size(), 4u) << testing::PrintToString(tasks);
            EXPECT_EQ(tasks[3], std::string("安装失败原因:1.code=3；2.msg=Install failed: ") + c.text +
                                    (std::string(c.text).find("signal") != std::string::npos ? " (Aborted)" : ""));
        }
    }
}

TEST_F(UnattendedFailureTest, AHungPackageIsStoppedWithItsGroupAndReportedFailed) {
    const fs::path folder = tmp / "hung";
    Launch launch{InstallArgs(folder, "--hang --pids=" + (tmp / "pids").string())};
    launch.env.push_back("QV_CHILD_IDLE_LIMIT_MS=500");
    const auto started = std::chrono::steady_clock::now();
    const Result result = Run(launch);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_EQ(result.exitCode, 8) << result.err;
    EXPECT_NE(result.err.find("no output for 500 ms"), std::string::npos) << result.err;
    EXPECT_TRUE(BothGone(tmp / "pids"));
    EXPECT_TRUE(PackageLeftovers(folder).empty());
    EXPECT_EQ(Registry("InstallPath"), "<none>");
    if (collecting) {
        ASSERT_FALSE(Tasks().empty());
        EXPECT_EQ(Tasks().back(), "安装失败原因:1.code=3；2.msg=Install failed: no output for 500 ms; stopped");
    }
}

TEST_F(UnattendedFailureTest, AnInstallerStoppedMidDownloadLeavesNoDownloadBehind) {
    for (const int type : {1, 3}) {
        SCOPED_TRACE(type);
        collector.ClearRecords();
        // The server sends a little, then stalls.
        PackageServer::FaultRule stall;
        stall.action = PackageServer::FaultRule::Action::Stall;
        stall.afterBytes = 64 * 1024;
        stall.stallMs = 30000;
        server->ClearFaults();
        server->AddRule(stall);
        const fs::path folder = tmp / ("stopped" + std::to_string(type));
        Launch launch{InstallArgs(folder, "", "Quorvex_setup.exe")};
        launch.args.push_back("-downloadtype=" + std::to_string(type));
        if (type == 3) launch.args[2] = "-downloadurl=" + server->DigestUrl("Quorvex_setup.exe");
        const pid_t pid = Spawn(launch);
        bool downloading = false;
        for (int i = 0; i < 400 && !downloading; ++i) {
            downloading = !PackageLeftovers(folder).empty();
            if (!downloading) std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_TRUE(downloading) << testsupport::ReadFile(tmp / "err.txt");
        ::kill(pid, SIGTERM);
        const Result result = Finish(pid);
        EXPECT_EQ(result.exitCode, 128 + SIGTERM) << result.err;
        EXPECT_TRUE(PackageLeftovers(folder).empty()) << testing::PrintToString(PackageLeftovers(folder));
        EXPECT_EQ(Registry("InstallPath"), "<none>");
        if (collecting) {
            EXPECT_EQ(Tasks(), std::vector<std::string>{"开始下载大包"});
        }
    }
    server->ClearFaults();
}

TEST_F(UnattendedFailureTest, AnInstallerStoppedMidInstallStopsThePackageGroup) {
    const fs::path folder = tmp / "midinstall";
    const pid_t pid = Spawn(Launch{InstallArgs(folder, "--hang-after=progress --pids=" + (tmp / "pids").string())});
    ASSERT_TRUE(WaitForOutput("progress 7"));
    for (int i = 0; i < 200 && !fs::exists(tmp / "pids"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    ::kill(pid, SIGINT);
    const Result result = Finish(pid);
    EXPECT_EQ(result.exitCode, 128 + SIGINT) << result.err;
    EXPECT_TRUE(BothGone(tmp / "pids"));
    EXPECT_TRUE(PackageLeftovers(folder).empty());
    EXPECT_EQ(Registry("InstallPath"), "<none>");
    if (collecting) {
        // The stopped package's failure may still be reported on the way out.
        const auto tasks = Tasks();
        ASSERT_GE(tasks.size(), 3u) << testing::PrintToString(tasks);
        ASSERT_LE(tasks.size(), 4u) << testing::PrintToString(tasks);
        EXPECT_EQ(tasks[0], "开始下载大包");
        EXPECT_EQ(tasks[2], "大包下载完毕");
        if (tasks.size() == 4) {
            EXPECT_EQ(tasks[3], "安装失败原因:1.code=3；2.msg=Install failed: ended by signal 2 (Interrupt)");
        }
    }
}

TEST_F(UnattendedFailureTest, AnInstallerKilledOutrightStillStopsThePackageGroup) {
    // SIGKILL cannot be handled: the package learns of its installer's end from the system's
    // parent-death signal alone.
    const fs::path folder = tmp / "killed";
    const pid_t pid = Spawn(Launch{InstallArgs(folder, "--hang-after=progress --pids=" + (tmp / "pids").string())});
    ASSERT_TRUE(WaitForOutput("progress 7"));
    for (int i = 0; i < 200 && !fs::exists(tmp / "pids"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    ::kill(pid, SIGKILL);
    const Result result = Finish(pid);
    EXPECT_EQ(result.exitCode, 128 + SIGKILL) << result.err;
    EXPECT_TRUE(BothGone(tmp / "pids"));
}

namespace {

// The processes whose program is `program` (also once it has been removed).
std::vector<pid_t> RunningFrom(const fs::path& program) {
    std::vector<pid_t> pids;
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code linkError;
        const std::string exe = fs::read_symlink(it->path() / "exe", linkError).string();
        if (!linkError && (exe == program.string() || exe == program.string() + " (deleted)")) pids.push_back(std::stoi(name));
    }
    return pids;
}

// Stops what still runs from `program` at the end of the scope.
struct StopRunningFrom {
    fs::path program;
    ~StopRunningFrom() {
        for (pid_t pid : RunningFrom(program)) ::kill(pid, SIGKILL);
    }
};

}  // namespace

TEST_F(UnattendedFailureTest, ARerunWhileTheEarlierPackageRunsIsRefusedAndLeavesItAlone) {
    const fs::path folder = tmp / "rerun";
    const fs::path package = folder / "__Package_Quorvex.exe";
    StopRunningFrom cleanup{package};
    const pid_t first = Spawn(Launch{InstallArgs(folder, "--hang-after=progress --pids=" + (tmp / "pids").string())});
    ASSERT_TRUE(WaitForOutput("progress 7"));
    for (int i = 0; i < 200 && !fs::exists(tmp / "pids"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    ASSERT_FALSE(RunningFrom(package).empty());
    const auto packageWritten = fs::last_write_time(package);
    const int firstGets = Gets();
    fs::rename(tmp / "out.txt", tmp / "first-out.txt");

    // The second installer comes from another session (a runtime folder of its own, so the
    // one-instance lock does not stop it first) and installs into the same folder.
    fs::create_directories(tmp / "runtime2");
    fs::permissions(tmp / "runtime2", fs::perms::owner_all);
    Launch again{InstallArgs(folder)};
    again.env.push_back("XDG_RUNTIME_DIR=" + (tmp / "runtime2").string());
    const Result second = Run(again);
    EXPECT_EQ(second.exitCode, 5) << second.out << second.err;
    EXPECT_NE(second.err.find("The software is running, please exit and try again later."), std::string::npos) << second.err;
    EXPECT_EQ(Gets(), firstGets);
    ASSERT_TRUE(fs::exists(package));
    EXPECT_EQ(fs::last_write_time(package), packageWritten);
    EXPECT_FALSE(RunningFrom(package).empty());
    EXPECT_FALSE(fs::exists(folder / "compressor.exe"));
    if (collecting) {
        // The first run's records may still be on their way; the second adds none.
        const auto tasks = Tasks();
        EXPECT_LE(std::count(tasks.begin(), tasks.end(), "开始下载大包"), 1) << testing::PrintToString(tasks);
        for (const auto& task : tasks) EXPECT_NE(task.rfind("安装", 0), 0u) << task;
    }

    // The first run goes on undisturbed until it is stopped.
    ::kill(first, SIGTERM);
    const Result stopped = Finish(first);
    EXPECT_EQ(stopped.exitCode, 128 + SIGTERM) << testsupport::ReadFile(tmp / "first-out.txt");
    EXPECT_TRUE(BothGone(tmp / "pids"));
}

// A package that reports success and stays on (as one starting the product does) is left
// running when its installer finishes: the parent-death signal (bound to the runner's thread by
// the system) must not reach it once its guard has stepped aside.
TEST_F(UnattendedFailureTest, APackageLeftRunningOutlivesItsInstaller) {
    const fs::path folder = tmp / "lingering";
    const fs::path package = folder / "__Package_Quorvex.exe";
    StopRunningFrom cleanup{package};
    Launch first{InstallArgs(folder, "--hold=30000")};
    first.env.push_back("QV_CHILD_EXIT_GRACE_MS=300");
    const Result done = Run(first);
    ASSERT_EQ(done.exitCode, 0) << done.out << done.err;
    EXPECT_FALSE(RunningFrom(package).empty()) << done.err;
}
