// End to end for the Windows build, run from the build machine: the cross-built installer in
// unattended mode under wine, against the package server serving the Windows sample package,
// with the test collector taking its analytics. Wine's settings (WINEPREFIX and the rest) come
// from the environment the Windows test script sets up; without a prefix the test fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>

// The harness serves its sample package and starts its installer: here wine runs the Windows
// installer, which gets the Windows sample package.
#define SAMPLE_PACKAGE WINDOWS_SAMPLE_PACKAGE
#define INSTALLER_EXE WineLoader()

#include "tests/support/WineLoader.h"

using winetest::WineEnvironment;
using winetest::WineLoader;

#include "tests/install/UnattendedHarness.h"

namespace fs = std::filesystem;
using installtest::Result;

namespace {

std::string Normalized(std::string text) {
    std::erase(text, '\r');
    return text;
}

class WineUnattendedTest : public installtest::UnattendedTest {
protected:
    void SetUp() override {
        const char* prefix = std::getenv("WINEPREFIX");
        ASSERT_TRUE(prefix && *prefix) << "WINEPREFIX is not set: run the Windows tests through tools/windows/test.sh";
        prefix_ = prefix;
        ASSERT_TRUE(fs::is_directory(prefix_ / "drive_c")) << prefix_ << " is no wine prefix";
        ASSERT_TRUE(fs::is_regular_file(WINDOWS_INSTALLER)) << WINDOWS_INSTALLER << " is not built";
        ASSERT_TRUE(fs::is_regular_file(WINDOWS_SAMPLE_PACKAGE)) << WINDOWS_SAMPLE_PACKAGE << " is not built";
        installtest::UnattendedTest::SetUp();
        // The install folders live on the prefix's drive C:, whose folders other users cannot
        // change: wine shows the build machine's /tmp as writable by everyone (it knows no
        // sticky bit), and the installer, elevated under wine, would rightly refuse it.
        std::random_device seed;
        drive_ = prefix_ / "drive_c" / ("qv-e2e-" + std::to_string(seed()));
        ASSERT_TRUE(fs::create_directory(drive_));
        fs::permissions(drive_, fs::perms(0755));
        // Each test starts without an installed copy: the prefix's registry is shared.
        RunWine({"reg", "delete", "HKCU\\Software\\VarNelSoft", "/f"});
        // Nor with analytics records that an earlier run, without a collector, left queued:
        // the next run would send them to this test's collector.
        std::error_code ec;
        for (fs::recursive_directory_iterator it(prefix_ / "drive_c" / "users", ec), end; !ec && it != end;
             it.increment(ec))
            if (it->path().filename() == "EventCollect.staging") fs::remove(it->path(), ec);
    }
    void TearDown() override {
        // A set-up that failed before the servers started leaves nothing to stop.
        if (server) installtest::UnattendedTest::TearDown();
        std::error_code ec;
        if (!drive_.empty()) fs::remove_all(drive_, ec);
    }

    // The path a Windows program sees for a folder below the test's drive folder.
    std::string WindowsPath(const std::string& relative) const {
        std::string path = "C:\\" + drive_.filename().string();
        if (!relative.empty()) path += "\\" + relative;
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }
    fs::path LinuxPath(const std::string& relative) const { return drive_ / relative; }

    Result RunWine(std::vector<std::string> args) {
        installtest::Launch launch{std::move(args), WineEnvironment()};
        return Run(launch);
    }

    Result WineInstall(const std::string& relative, std::vector<std::string> options = {},
                       const std::string& file = "Quorvex_setup.exe") {
        std::vector<std::string> args = {"Z:" + std::string(WINDOWS_INSTALLER), "-silent",
                                         "-installdir=" + WindowsPath(relative), "-downloadurl=" + server->FileUrl(file)};
        args.insert(args.end(), options.begin(), options.end());
        Result result = RunWine(std::move(args));
        result.out = Normalized(result.out);
        result.err = Normalized(result.err);
        return result;
    }

    // Task names the collector received from the installers of this prefix, in order. The
    // Windows tracker keeps its identity in the prefix's local application data.
    std::vector<std::string> WineTasks() const {
        std::set<std::string> ids;
        std::error_code ec;
        for (fs::recursive_directory_iterator it(prefix_ / "drive_c" / "users", ec), end; !ec && it != end;
             it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.size() < 17 || name.compare(name.size() - 17, 17, "_VNSConfigure.ini") != 0) continue;
            std::istringstream lines(testsupport::ReadFile(it->path()));
            for (std::string line; std::getline(lines, line);) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (line.rfind("DistinctId=", 0) == 0) ids.insert(line.substr(11));
            }
        }
        std::vector<std::string> names;
        for (const auto& record : collector.Records())
            if (record.value("event", "") == "VnEventTask" && ids.count(record.value("distinct_id", "")))
                names.push_back(record["properties"].value("vn_task_name", ""));
        return names;
    }

    fs::path prefix_;
    fs::path drive_;
};

}  // namespace

TEST_F(WineUnattendedTest, EachDownloadTypeInstallsTheWindowsPackageAndReportsTheWindowsEvents) {
    ASSERT_TRUE(collecting) << "the collector must take " << QV_COLLECT_HOST << " to check the events";
    for (const int type : {1, 2, 3}) {
        SCOPED_TRACE("download type " + std::to_string(type));
        collector.ClearRecords();
        const std::string folder = "Apps/Pelmora " + std::to_string(type);
        const Result result = WineInstall(folder, {"-downloadtype=" + std::to_string(type)});
        ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
        EXPECT_NE(result.out.find("installing Quorvex into " + WindowsPath(folder) + "\n"), std::string::npos)
            << result.out;
        EXPECT_NE(result.out.find("progress 100%\ninstalled: " + WindowsPath(folder) + "\n"), std::string::npos)
            << result.out;
        EXPECT_TRUE(fs::exists(LinuxPath(folder) / "compressor.exe"));
        EXPECT_TRUE(PackageLeftovers(LinuxPath(folder)).empty());
        EXPECT_EQ(installtest::Ini(LinuxPath(folder) / "set.ini", "Install", "AppName"), "Quorvex");
        EXPECT_EQ(installtest::Ini(LinuxPath(folder) / "set.ini", "Install", "APPStore"), "quorvex-installer.exe");

        const auto tasks = WineTasks();
        ASSERT_EQ(tasks.size(), 4u) << testing::PrintToString(tasks);
        EXPECT_EQ(tasks[0], "开始下载大包");
        EXPECT_EQ(tasks[1].rfind("大包下载完毕用时0分", 0), 0u) << tasks[1];
        EXPECT_EQ(tasks[2], "大包下载完毕");
        EXPECT_EQ(tasks[3], "安装成功");
        // The next type installs without the previous copy's uninstaller.
        RunWine({"reg", "delete", "HKCU\\Software\\VarNelSoft", "/f"});
    }
}

namespace {

// The folder where wine's programs find the prefix's running server: Debian's wine names it in
// the prefix's file "wineserver" (below the user's runtime folder, else the temporary one),
// upstream wine uses /tmp/.wine-UID. Empty when none exists.
fs::path WineServerFolder(const fs::path& prefix) {
    std::string name = testsupport::ReadFile(prefix / "wineserver");
    while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) name.pop_back();
    std::error_code ec;
    if (!name.empty()) {
        const fs::path runtime = "/run/user/" + std::to_string(::geteuid());
        const char* tmpdir = std::getenv("TMPDIR");
        const fs::path base = fs::is_directory(runtime, ec) ? runtime : fs::path(tmpdir && *tmpdir ? tmpdir : "/tmp");
        if (fs::is_directory(base / name, ec)) return base / name;
    }
    const fs::path upstream = "/tmp/.wine-" + std::to_string(::geteuid());
    return fs::is_directory(upstream, ec) ? upstream : fs::path();
}

}  // namespace

TEST_F(WineUnattendedTest, TheNetworkProbeWithoutANetworkEndsWithCode4) {
    // A network namespace with only its loopback. Wine answers network questions in processes
    // of its own (the server and the driver host), which must run in that namespace too: a
    // private, empty folder over the one where wine finds the prefix's running server makes it
    // start another in the namespace. Wine's network list manager then reports no connectivity.
    installtest::Launch offline{{"Z:" + std::string(WINDOWS_INSTALLER), "-silent", "-ischecknet=true",
                                 "-installdir=" + WindowsPath("offline"),
                                 "-downloadurl=" + server->FileUrl("Quorvex_setup.exe")},
                                WineEnvironment()};
    offline.noNetwork = true;
    offline.tmpfsOn = WineServerFolder(prefix_).string();
    offline.tmpfsMode = "0700";  // wine refuses a server folder that others may enter
    ASSERT_FALSE(offline.tmpfsOn.empty()) << "the prefix's server is not running";
    const Result poor = Run(offline);
    if (poor.exitCode == 121) GTEST_SKIP() << "no private network and mount namespaces here";
    EXPECT_EQ(poor.exitCode, 4) << poor.out << poor.err;
    EXPECT_NE(poor.err.find("The current network is poor"), std::string::npos) << poor.err;
    // Connectivity flags 0, verdict "no network": the manager was asked, not left uncreated.
    EXPECT_NE(poor.err.find("(network probe result 65536)"), std::string::npos) << poor.err;
    EXPECT_FALSE(fs::exists(LinuxPath("offline") / "compressor.exe"));
}

TEST_F(WineUnattendedTest, AFailingPackageEndsWithCode8AndLeavesNoPackage) {
    const Result failed = WineInstall("failing", {"-instcmd=--error=broken"});
    EXPECT_EQ(failed.exitCode, 8) << failed.out << failed.err;
    EXPECT_NE(failed.err.find("quorvex-installer: broken (1000)"), std::string::npos) << failed.err;
    EXPECT_TRUE(PackageLeftovers(LinuxPath("failing")).empty());
    EXPECT_FALSE(fs::exists(LinuxPath("failing") / "compressor.exe"));
    if (collecting) {
        const auto tasks = WineTasks();
        ASSERT_FALSE(tasks.empty());
        EXPECT_EQ(tasks.front(), "开始下载大包");
        EXPECT_EQ(tasks.back(), "安装失败原因:1.code=1000；2.msg=broken");
    }
}

TEST_F(WineUnattendedTest, AServerThatIsDownEndsWithCode7AndLeavesNoPackage) {
    const std::string url = server->FileUrl("Quorvex_setup.exe");
    server->Stop();
    const Result missing = WineInstall("unreachable");
    EXPECT_EQ(missing.exitCode, 7) << missing.out << missing.err;
    EXPECT_NE(missing.err.find("quorvex-installer: download failed"), std::string::npos) << missing.err;
    EXPECT_TRUE(PackageLeftovers(LinuxPath("unreachable")).empty());
    if (collecting) {
        const auto tasks = WineTasks();
        ASSERT_FALSE(tasks.empty());
        const std::string reason = tasks.back();
        EXPECT_EQ(reason.rfind("1.code=", 0), 0u) << reason;
        EXPECT_NE(reason.find("；4.缓存读写权限=可读；5.服务器连接状态code="), std::string::npos) << reason;
    }
}

namespace {

// The Windows subsystem an executable's PE header names (2 a window program, 3 a console one);
// 0 when the file is no PE executable.
int Subsystem(const fs::path& exe) {
    const std::string bytes = testsupport::ReadFile(exe);
    const auto at = [&](size_t offset, size_t size) {
        unsigned value = 0;
        for (size_t i = 0; i < size && offset + i < bytes.size(); ++i)
            value |= static_cast<unsigned>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
        return value;
    };
    const size_t pe = at(0x3C, 4);
    if (bytes.size() < pe + 0x60 || bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return 0;
    return static_cast<int>(at(pe + 0x5C, 2));
}

}  // namespace

TEST_F(WineUnattendedTest, CtrlCMidInstallStopsThePackageAndEndsWithCode130) {
    // Wine turns SIGINT into the console's Ctrl+C event, for console programs only (a window
    // program has no console whose events it could get).
    if (Subsystem(WINDOWS_INSTALLER) != 3)
        GTEST_SKIP() << "the installer is built as a window program: no console event reaches it under wine";
    const std::string folder = "interrupted";
    installtest::Launch launch{{"Z:" + std::string(WINDOWS_INSTALLER), "-silent", "-installdir=" + WindowsPath(folder),
                                "-downloadurl=" + server->FileUrl("Quorvex_setup.exe"),
                                "-instcmd=--hang-after=progress"},
                               WineEnvironment()};
    const pid_t pid = Spawn(launch);
    ASSERT_TRUE(WaitForOutput("progress 7", 60)) << testsupport::ReadFile(tmp / "err.txt");
    ::kill(pid, SIGINT);
    Result result = Finish(pid);
    result.err = Normalized(result.err);
    EXPECT_EQ(result.exitCode, 130) << result.out << result.err;
    EXPECT_NE(result.err.find("quorvex-installer: stopped by Ctrl+C"), std::string::npos) << result.err;
    // The package's file goes with it: Windows removes no program that still runs.
    EXPECT_TRUE(PackageLeftovers(LinuxPath(folder)).empty());
    EXPECT_FALSE(fs::exists(LinuxPath(folder) / "compressor.exe"));
}
