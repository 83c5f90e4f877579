// End to end for the Windows build's windows, run from the build machine: the cross-built
// installer under wine, its windows on the X display the Windows test script provides, clicked
// with xdotool where a person would click (the controls' places come from the built-in skin's
// layouts, found as the Linux window test finds them), against the package server serving the
// Windows sample package and the test collector on loopback.
//
// Each test gets a clean prefix state: no install record in HKCU, no queued analytics, its own
// folder on drive C: for install folders and the sample package's shortcut folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <thread>

#include "tests/ui/windows/support/WineSession.h"

// The harness serves its sample package and starts its installer: here wine runs the Windows
// installer, which gets the Windows sample package.
#define SAMPLE_PACKAGE WINDOWS_SAMPLE_PACKAGE
#define INSTALLER_EXE winetest::WineLoader()
#include "tests/install/UnattendedHarness.h"
#include "ui/skin/SkinPackage.h"

namespace fs = std::filesystem;
using namespace clicktest;

namespace {

constexpr char kInstallKey[] = "Software\\VarNelSoft\\Quorvex";
constexpr char kMessageBox[] = "消息框";

class SkinEnvironment : public ::testing::Environment {
public:
    void SetUp() override { Skin::OpenSkinPackage(); }
};
const auto* g_skin = ::testing::AddGlobalTestEnvironment(new SkinEnvironment);

// Polls `done` every 200 ms until it holds or `seconds` have passed.
bool WaitFor(const std::function<bool()>& done, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return true;
}

// A window that has just been mapped, or a page that has just been switched, takes a moment
// to take input: nothing observable from outside tells when it does.
void Settle(int milliseconds = 400) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

class WineWindowEndToEnd : public installtest::UnattendedTest {
protected:
    void SetUp() override {
        const char* prefix = std::getenv("WINEPREFIX");
        ASSERT_TRUE(prefix && *prefix) << "WINEPREFIX is not set: run the Windows tests through tools/windows/test.sh";
        prefix_ = prefix;
        ASSERT_TRUE(fs::is_directory(prefix_ / "drive_c")) << prefix_ << " is no wine prefix";
        const char* display = std::getenv("DISPLAY");
        ASSERT_TRUE(display && *display) << "no X display for wine's windows";
        ASSERT_TRUE(fs::is_regular_file(WINDOWS_INSTALLER)) << WINDOWS_INSTALLER << " is not built";
        ASSERT_TRUE(fs::is_regular_file(WINDOWS_SAMPLE_PACKAGE)) << WINDOWS_SAMPLE_PACKAGE << " is not built";
        installtest::UnattendedTest::SetUp();
        // Install folders live on the prefix's drive C:, whose folders other users cannot
        // change (the elevated installer rightly refuses a folder anyone may write to).
        std::random_device seed;
        drive_ = prefix_ / "drive_c" / ("qv-window-e2e-" + std::to_string(seed()));
        ASSERT_TRUE(fs::create_directory(drive_));
        fs::permissions(drive_, fs::perms(0755));
        for (const char* sub : {"Desktop", "Programs"}) fs::create_directory(drive_ / sub);
        ResetPrefix();
    }

    void TearDown() override {
        if (::testing::Test::HasFailure()) {
            // Without QV_SCREENSHOT_DIR the picture goes to the temporary folder, kept for a look.
            const std::string name =
                "wine-e2e-failure-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
            std::string shot = Screenshot(name);
            if (shot.empty()) {
                shot = (fs::temp_directory_path() / (name + ".png")).string();
                RunProgram({"import", "-window", "root", shot});
            }
            std::printf("screenshot at failure: %s\n", shot.c_str());
            if (server) std::printf("collector tasks: %s\n", ::testing::PrintToString(WineTasks()).c_str());
            if (installer_ > 0) std::printf("installer's error output:\n%s\n", testsupport::ReadFile(tmp / "err.txt").c_str());
        }
        EndProduct();
        if (installer_ > 0 && ::waitpid(installer_, nullptr, WNOHANG) == 0) {
            ::kill(installer_, SIGKILL);
            ::waitpid(installer_, nullptr, 0);
        }
        // The default install folder lies outside this test's folder: it goes with the record
        // that names it.
        const fs::path installed = winetest::HostPath(prefix_, Registry("InstallPath"));
        std::error_code ec;
        if (!installed.empty() && installed.filename() == "Pelmora") fs::remove_all(installed, ec);
        ResetPrefix();
        if (server) installtest::UnattendedTest::TearDown();
        if (!drive_.empty()) fs::remove_all(drive_, ec);
    }

    // No installed copy (the prefix's registry is shared by all runs) and no analytics records
    // that an earlier run left queued for this test's collector.
    void ResetPrefix() {
        winetest::RunWine({"reg", "delete", "HKCU\\Software\\VarNelSoft", "/f"});
        std::error_code ec;
        for (fs::recursive_directory_iterator it(prefix_ / "drive_c" / "users", ec), end; !ec && it != end;
             it.increment(ec))
            if (it->path().filename() == "EventCollect.staging") fs::remove(it->path(), ec);
    }

    // The path a Windows program sees for a folder below the test's folder on drive C:.
    std::string WindowsPath(const std::string& relative) const {
        std::string path = "C:\\" + drive_.filename().string();
        if (!relative.empty()) path += "\\" + relative;
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }

    // The sample package writes its shortcuts into this test's folders, not the prefix's.
    installtest::Launch WineLaunch(std::vector<std::string> args) const {
        installtest::Launch launch{{"Z:" + std::string(WINDOWS_INSTALLER)}, winetest::WineEnvironment()};
        launch.args.insert(launch.args.end(), args.begin(), args.end());
        launch.env.push_back("QV_SAMPLE_DESKTOP_DIR=" + WindowsPath("Desktop"));
        launch.env.push_back("QV_SAMPLE_PROGRAMS_DIR=" + WindowsPath("Programs"));
        return launch;
    }

    // The installer with its window.
    pid_t StartInstaller(std::vector<std::string> args = {}) {
        args.insert(args.begin(), "-downloadurl=" + server->FileUrl("Quorvex_setup.exe"));
        installer_ = Spawn(WineLaunch(std::move(args)));
        return installer_;
    }

    // A window of the installer once it is shown; none when the installer ends first.
    Found InstallerWindow(const std::string& title, double seconds) {
        Found found;
        WaitFor(
            [&] {
                if (Exited()) return true;
                found = WaitForWindow(title, 0.5, installer_);
                return found.id != 0;
            },
            seconds);
        if (found.id != 0) Settle();
        return found;
    }
    Found MainWindow(double seconds = 60) { return InstallerWindow("Quorvex", seconds); }
    Found MessageBox(double seconds) { return InstallerWindow(kMessageBox, seconds); }

    // Whether the installer has ended (reaped here; its status is kept for FinishWithin).
    bool Exited() {
        if (installer_ <= 0) return true;
        int status = 0;
        if (::waitpid(installer_, &status, WNOHANG) != installer_) return false;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        installer_ = -1;
        return true;
    }
    bool Alive() { return !Exited(); }

    // The installer's exit within `seconds`; a run that does not end is killed and fails.
    installtest::Result FinishWithin(double seconds = 60) {
        if (!WaitFor([&] { return Exited(); }, seconds)) {
            ADD_FAILURE() << "the installer did not end within " << seconds << " s";
            ::kill(installer_, SIGKILL);
            ::waitpid(installer_, nullptr, 0);
            installer_ = -1;
        }
        installtest::Result result;
        result.exitCode = exitCode_;
        result.out = testsupport::ReadFile(tmp / "out.txt");
        result.err = testsupport::ReadFile(tmp / "err.txt");
        return result;
    }

    // Clicks a button of the finish page that ends the installer, until it does. The page
    // follows the install record by a moment that nothing outside the window shows (analytics
    // leave only when the installer ends); a click before it lands on the progress page, whose
    // controls there do nothing.
    installtest::Result ClickUntilExit(const Found& window, LayoutPoint point, double seconds = 60) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        do {
            ClickAt(window, point);
            // Once the window is gone a further click would land on whatever lies beneath.
            if (WaitFor([&] { return Exited() || Locate(window.id).id == 0; }, 2)) break;
        } while (std::chrono::steady_clock::now() < deadline);
        return FinishWithin(30);
    }

    std::string Registry(const std::string& name) const { return winetest::RegistryValue(kInstallKey, name); }
    // The install record appears when an installation has finished.
    bool WaitForRecord(double seconds = 90) {
        return WaitFor([&] { return Registry("InstallPath") != "<none>"; }, seconds);
    }

    // The sample product's window (compressor.exe, titled like the installer's).
    static Found ProductWindow(double seconds) {
        Found found;
        WaitFor(
            [&] {
                // Wine names a window's class after its program.
                std::istringstream ids(
                    RunProgram({"xdotool", "search", "--onlyvisible", "--class", "^compressor\\.exe$"}));
                for (std::string id; found.id == 0 && std::getline(ids, id);)
                    if (RunProgram({"xdotool", "getwindowname", id}) == "Quorvex\n") found = Locate(std::stoul(id));
                return found.id != 0;
            },
            seconds);
        return found;
    }
    // Ends the product a test started through the installer: its window's process.
    static void EndProduct() {
        const std::string ids = RunProgram({"xdotool", "search", "--class", "^compressor\\.exe$"});
        std::istringstream lines(ids);
        for (std::string id; std::getline(lines, id);) {
            const long pid = std::atol(RunProgram({"xdotool", "getwindowpid", id}).c_str());
            if (pid > 1) ::kill(static_cast<pid_t>(pid), SIGKILL);
        }
    }

    std::vector<std::string> WineTasks() const {
        const std::set<std::string> ids = winetest::PrefixIdentities(prefix_);
        std::vector<std::string> names;
        for (const auto& record : collector.Records())
            if (record.value("event", "") == "VnEventTask" && ids.count(record.value("distinct_id", "")))
                names.push_back(record["properties"].value("vn_task_name", ""));
        return names;
    }
    fs::path Link(const char* folder) const { return drive_ / folder / "Quorvex.lnk"; }

    fs::path prefix_;
    fs::path drive_;
    pid_t installer_ = -1;
    int exitCode_ = -1;
};

std::string Tail(const std::string& text) { return text.substr(text.size() > 2000 ? text.size() - 2000 : 0); }

void ExpectSuccessfulInstallTasks(const std::vector<std::string>& tasks, const char* first, bool started) {
    ASSERT_EQ(tasks.size(), started ? 6u : 5u) << ::testing::PrintToString(tasks);
    EXPECT_EQ(tasks[0], first);
    EXPECT_EQ(tasks[1], "开始下载大包");
    EXPECT_EQ(tasks[2].rfind("大包下载完毕用时0分", 0), 0u) << tasks[2];
    EXPECT_EQ(tasks[3], "大包下载完毕");
    EXPECT_EQ(tasks[4], "安装成功");
    if (started) {
        EXPECT_EQ(tasks[5], "立即体验");
    }
}

TEST_F(WineWindowEndToEnd, DefaultInstallToTheFinishPageThenStartNowStartsTheProduct) {
    StartInstaller();
    const Found main = MainWindow();
    ASSERT_NE(main.id, 0u) << "the installer window did not appear";
    Screenshot("wine-e2e-default-page-en");
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"defaultInstallBtn"));
    ASSERT_TRUE(WaitForRecord()) << "the installation did not finish";
    const std::string folder = Registry("InstallPath");
    EXPECT_EQ(folder.substr(folder.size() - 8), "\\Pelmora") << folder;
    EXPECT_EQ(Registry("UnInstallEp"), folder + "\\uninst.ep");
    EXPECT_TRUE(fs::exists(winetest::HostPath(prefix_, folder) / "compressor.exe")) << folder;
    EXPECT_TRUE(fs::exists(Link("Desktop"))) << "the desktop shortcut is on by default";
    EXPECT_TRUE(fs::exists(Link("Programs")));
    Settle();
    Screenshot("wine-e2e-finish-page-en");
    const installtest::Result r = ClickUntilExit(main, ControlCentre(L"mainWnd.xml", L"openProduceBtn", 3));
    EXPECT_EQ(r.exitCode, 0) << Tail(r.err);
    EXPECT_NE(ProductWindow(30).id, 0u) << "the product's window did not appear";
    Screenshot("wine-e2e-product");
    if (collecting) ExpectSuccessfulInstallTasks(WineTasks(), "默认页-立即安装", true);
}

TEST_F(WineWindowEndToEnd, CustomInstallIntoATypedFolderWithoutTheDesktopShortcut) {
    StartInstaller();
    const Found main = MainWindow();
    ASSERT_NE(main.id, 0u);
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"customeBtn"));
    Settle();
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"installDirEdit", 1));
    Settle(200);
    Xdo({"key", "ctrl+a", "BackSpace"});
    Xdo({"type", "--delay", "20", WindowsPath("apps")});
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"createDSCb", 1));
    Settle(300);
    Screenshot("wine-e2e-custom-page-en");
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"customeInstallBtn", 1));
    ASSERT_TRUE(WaitForRecord()) << "the installation did not finish";
    const std::string folder = WindowsPath("apps\\Pelmora");
    EXPECT_EQ(Registry("InstallPath"), folder);
    EXPECT_TRUE(fs::exists(drive_ / "apps" / "Pelmora" / "compressor.exe"));
    EXPECT_FALSE(fs::exists(Link("Desktop"))) << "the desktop shortcut was turned off";
    EXPECT_TRUE(fs::exists(Link("Programs"))) << "the start menu's shortcut is always made";
    // The finish page's close button closes at once.
    const installtest::Result r = ClickUntilExit(main, ControlCentre(L"mainWnd.xml", L"closebtn", 3));
    EXPECT_EQ(r.exitCode, 0) << Tail(r.err);
    if (collecting) ExpectSuccessfulInstallTasks(WineTasks(), "自定义-点击立即安装", false);
}

TEST_F(WineWindowEndToEnd, ChineseChosenBeforeInstallingReachesThePackageAndTheRecords) {
    StartInstaller();
    const Found main = MainWindow();
    ASSERT_NE(main.id, 0u);
    // The list opens upwards; the second entry is 繁體中文.
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"langCombo"));
    Settle();
    Screenshot("wine-e2e-language-list");
    Xdo({"key", "Down", "Return"});
    Settle();
    Screenshot("wine-e2e-default-page-zh");
    Skin::SwitchSkinLanguage(L"zh-TW");  // the controls' places with the Chinese texts
    const LayoutPoint install = ControlCentre(L"mainWnd.xml", L"defaultInstallBtn");
    const LayoutPoint close = ControlCentre(L"mainWnd.xml", L"closebtn", 3);
    Skin::SwitchSkinLanguage(L"en-US");
    ClickAt(main, install);
    ASSERT_TRUE(WaitForRecord()) << "the installation did not finish";
    const fs::path installed = winetest::HostPath(prefix_, Registry("InstallPath"));
    EXPECT_EQ(installtest::Ini(installed / "set.ini", "Install", "InstallLanguage"), "zh-TW");
    EXPECT_EQ(installtest::Ini(installed / "set.ini", "Install", "InstallLANGID"), "1028");
    EXPECT_NE(testsupport::ReadFile(installed / "README.txt").find("Language: zh-TW"), std::string::npos)
        << "the package was not told";
    Settle();
    Screenshot("wine-e2e-finish-page-zh");
    const installtest::Result r = ClickUntilExit(main, close);
    EXPECT_EQ(r.exitCode, 0) << Tail(r.err);
    if (collecting) ExpectSuccessfulInstallTasks(WineTasks(), "默认页-立即安装", false);
}

TEST_F(WineWindowEndToEnd, ServerDownThenReInstallAfterItCameBack) {
    const int port = server->Port();
    server->Stop();
    StartInstaller();
    const Found main = MainWindow();
    ASSERT_NE(main.id, 0u);
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"defaultInstallBtn"));
    const Found box = MessageBox(90);
    ASSERT_NE(box.id, 0u) << "no network-failure window";
    Screenshot("wine-e2e-network-failure-en");
    server = std::make_unique<PackageServer::Server>(PackageServer::Options{(tmp / "www").string(), "127.0.0.1", port});
    ASSERT_TRUE(server->Start());
    // "ReInstall". A click that reaches the box before it takes input is lost on a loaded
    // machine: the box is clicked again until it has gone.
    const LayoutPoint reinstall = ControlCentre(L"NetworkTipWnd.xml", L"okBtn");
    for (int attempt = 0; attempt < 3; ++attempt) {
        ClickAt(box, reinstall);
        if (WaitFor([&] { return WaitForWindow(kMessageBox, 0, installer_).id == 0; }, 5)) break;
    }
    ASSERT_TRUE(WaitForRecord()) << "the retry did not install";
    EXPECT_TRUE(fs::exists(winetest::HostPath(prefix_, Registry("InstallPath")) / "compressor.exe"));
    const installtest::Result r = ClickUntilExit(main, ControlCentre(L"mainWnd.xml", L"closebtn", 3));
    EXPECT_EQ(r.exitCode, 0) << Tail(r.err);
    if (collecting) {
        const auto tasks = WineTasks();
        ASSERT_GE(tasks.size(), 3u) << ::testing::PrintToString(tasks);
        EXPECT_EQ(tasks[0], "默认页-立即安装");
        const auto reason =
            std::find_if(tasks.begin(), tasks.end(), [](const std::string& t) { return t.rfind("1.code=", 0) == 0; });
        ASSERT_NE(reason, tasks.end()) << "no failure reason: " << ::testing::PrintToString(tasks);
        EXPECT_NE(reason->find("4.缓存读写权限=可读"), std::string::npos) << *reason;
        EXPECT_EQ(tasks.back(), "安装成功");
    }
}

TEST_F(WineWindowEndToEnd, NothingClosesTheWindowDuringAnInstallation) {
    StartInstaller({"-instcmd=--delay=600"});
    const Found main = MainWindow();
    ASSERT_NE(main.id, 0u);
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"defaultInstallBtn"));
    ASSERT_TRUE(WaitFor([&] { return Gets() > 0; }, 30)) << "the download did not start";
    Screenshot("wine-e2e-progress-page-en");
    Xdo({"windowfocus", "--sync", std::to_string(main.id), "key", "alt+F4"});
    RunProgram({QV_SEND_WM_DELETE, std::to_string(main.id)});  // the window manager's close
    Settle();
    EXPECT_TRUE(Alive()) << "a close command ended the installation";
    EXPECT_EQ(Locate(main.id).id, main.id) << "the window went";
    EXPECT_EQ(WaitForWindow(kMessageBox, 1, installer_).id, 0u) << "a close command asked to leave";
    ASSERT_TRUE(WaitForRecord()) << "the installation did not finish";
    // On the finish page the close button closes at once.
    const installtest::Result r = ClickUntilExit(main, ControlCentre(L"mainWnd.xml", L"closebtn", 3));
    EXPECT_EQ(r.exitCode, 0) << Tail(r.err);
}

// A copy installed earlier (unattended, then marked as Chinese) into a folder of the test.
class ExistingInstallationOnWine : public WineWindowEndToEnd {
protected:
    void SetUp() override {
        WineWindowEndToEnd::SetUp();
        if (HasFatalFailure()) return;
        const std::string folder = WindowsPath("apps\\Pelmora");
        installed = drive_ / "apps" / "Pelmora";
        const installtest::Result r =
            Run(WineLaunch({"-silent", "-installdir=" + folder, "-downloadurl=" + server->FileUrl("Quorvex_setup.exe")}));
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        ASSERT_EQ(Registry("InstallPath"), folder);
        Utils::ProfileFile ini = Utils::ProfileFile::Load(installed / "set.ini");
        ini.Set(L"Install", L"InstallLanguage", L"zh-TW");
        ASSERT_TRUE(ini.Save(installed / "set.ini"));
        // A file only the old copy has: its uninstaller removes it (it is in the manifest).
        std::ofstream(installed / "old.txt") << "old";
        std::ofstream(installed / "install.manifest", std::ios::app) << "old.txt\n";
        before = WineTasks().size();
    }
    std::vector<std::string> TasksAfterSetUp() const {
        const auto all = WineTasks();
        return all.size() <= before ? std::vector<std::string>{} : std::vector<std::string>(all.begin() + before, all.end());
    }
    fs::path installed;
    size_t before = 0;
};

TEST_F(ExistingInstallationOnWine, UpdateRunsTheOldUninstallerFirstThenStartNowLaunchesIt) {
    StartInstaller();
    const Found box = MessageBox(60);
    ASSERT_NE(box.id, 0u) << "the existing installation was not offered";
    Screenshot("wine-e2e-existing-installation");
    ClickAt(box, ControlCentre(L"InstalledPathTipWnd.xml", L"okBtn"));  // install the latest version
    const Found main = MainWindow();
    ASSERT_NE(main.id, 0u);
    EXPECT_TRUE(WaitFor([&] { return !fs::exists(installed / "old.txt"); }, 60)) << "the old copy's uninstaller did not run";
    // The old copy's uninstaller removed its README; the new package writes one again.
    ASSERT_TRUE(WaitFor([&] { return fs::exists(installed / "README.txt"); }, 90)) << "the update did not finish";
    EXPECT_TRUE(fs::exists(installed / "compressor.exe"));
    const installtest::Result r = ClickUntilExit(main, ControlCentre(L"mainWnd.xml", L"openProduceBtn", 3));
    Screenshot("wine-e2e-updated-product");
    EXPECT_EQ(r.exitCode, 0) << Tail(r.err);
    EXPECT_NE(ProductWindow(30).id, 0u) << "the product's window did not appear";
    EXPECT_EQ(Registry("InstallPath"), WindowsPath("apps\\Pelmora"));
    EXPECT_EQ(installtest::Ini(installed / "set.ini", "Install", "InstallLanguage"), "zh-TW") << "the previous language is kept";
    if (collecting) {
        const auto tasks = TasksAfterSetUp();
        ASSERT_EQ(tasks.size(), 5u) << ::testing::PrintToString(tasks);
        EXPECT_EQ(tasks[0], "开始下载大包");
        EXPECT_EQ(tasks[1].rfind("大包下载完毕用时0分", 0), 0u) << tasks[1];
        EXPECT_EQ(tasks[2], "大包下载完毕");
        EXPECT_EQ(tasks[3], "安装成功");
        EXPECT_EQ(tasks[4], "立即体验");
    }
}

}  // namespace
