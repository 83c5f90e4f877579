// End to end with the real installer executable and its window on a private Xvfb, clicked with
// xdotool where a person would click: the controls' places come from the built-in skin's own
// layouts, laid out here the way the window lays them out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>

#include "support/XvfbDisplay.h"
#include "tests/install/UnattendedHarness.h"
#include "tests/ui/windows/support/ClickDriver.h"
#include "ui/skin/SkinPackage.h"

using namespace clicktest;
namespace fs = std::filesystem;

namespace {

class DisplayEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(XvfbDisplay::Start(&error)) << error;
        Skin::OpenSkinPackage();
    }
    void TearDown() override { XvfbDisplay::Stop(); }
};
const auto* g_display = ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

class WindowEndToEnd : public installtest::UnattendedTest {
protected:
    // The installer with its window; as root the default folder /opt is a private tmpfs of
    // the run, so the machine's /opt is never touched.
    pid_t StartInstaller(std::vector<std::string> args = {}) {
        installtest::Launch launch;
        launch.args = {"-downloadurl=" + server->FileUrl("Quorvex_setup.exe")};
        launch.args.insert(launch.args.end(), args.begin(), args.end());
        launch.env = {std::string("DISPLAY=") + std::getenv("DISPLAY"), DataHome()};
        // Sanitizer builds: the child reports with the same suppressions (GTK's own caches).
        for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"})
            if (const char* value = std::getenv(name)) launch.env.push_back(std::string(name) + "=" + value);
        if (::geteuid() == 0) {
            launch.tmpfsOn = "/opt";
            launch.tmpfsBytes = size_t(2) << 30;
        }
        return Spawn(launch);
    }
    // The product's menu entry goes under the test's home, also as root (where it would
    // otherwise go to the machine's /usr/local/share).
    std::string DataHome() const { return "XDG_DATA_HOME=" + (tmp / "home" / ".local" / "share").string(); }
    bool WaitForRegistry(int seconds = 30) {
        for (int i = 0; i < seconds * 10; ++i) {
            if (Registry("InstallPath") != "<none>") return true;
            usleep(100000);
        }
        return false;
    }
    bool Alive(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0; }
    // Task names that arrived after the first `skip` ones (earlier runs of the same test).
    std::vector<std::string> TasksAfter(size_t skip) const {
        std::vector<std::string> all = Tasks();
        return all.size() <= skip ? std::vector<std::string>{} : std::vector<std::string>(all.begin() + skip, all.end());
    }
    // The desktop entries the product's package left under this test's home.
    std::vector<std::string> DesktopEntries() const {
        std::vector<std::string> found;
        std::error_code ec;
        for (fs::recursive_directory_iterator it(tmp / "home", ec), end; !ec && it != end; it.increment(ec))
            if (it->path().filename() == "quorvex-compressor.desktop")
                found.push_back(fs::relative(it->path(), tmp / "home").string());
        std::sort(found.begin(), found.end());
        return found;
    }
    static void CloseProduct() {
        EXPECT_TRUE(Xdo({"search", "--sync", "--class", "quorvex-compressor"})) << "the product's window did not appear";
        Xdo({"search", "--class", "quorvex-compressor", "windowkill"});
    }
    fs::path DefaultFolder() const {
        return ::geteuid() == 0 ? fs::path("/opt/Pelmora") : tmp / "home" / ".local" / "share" / "Pelmora";
    }
};

TEST_F(WindowEndToEnd, DefaultInstallToTheFinishPageThenStartNow) {
    const pid_t pid = StartInstaller();
    const Found main = WaitForWindow("Quorvex");
    ASSERT_NE(main.id, 0u) << "the installer window did not appear";
    usleep(300000);
    Screenshot("e2e-default-page-en");
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"defaultInstallBtn"));
    ASSERT_TRUE(WaitForRegistry()) << "the installation did not finish";
    usleep(500000);
    Screenshot("e2e-finish-page-en");
    EXPECT_EQ(Registry("InstallPath"), DefaultFolder().string());
    EXPECT_EQ(Registry("UnInstallEp"), (DefaultFolder() / "uninst.ep").string());

    ClickAt(main, ControlCentre(L"mainWnd.xml", L"openProduceBtn", 3));
    const installtest::Result r = Finish(pid);
    EXPECT_EQ(r.exitCode, 0) << r.err.substr(r.err.size() > 2000 ? r.err.size() - 2000 : 0);
    EXPECT_TRUE(Xdo({"search", "--sync", "--class", "quorvex-compressor"})) << "the product's window did not appear";
    Screenshot("e2e-product");
    Xdo({"search", "--class", "quorvex-compressor", "windowkill"});
    if (collecting) {
        const auto tasks = Tasks();
        ASSERT_EQ(tasks.size(), 6u) << ::testing::PrintToString(tasks);
        EXPECT_EQ(tasks[0], "默认页-立即安装");
        EXPECT_EQ(tasks[1], "开始下载大包");
        EXPECT_EQ(tasks[2].rfind("大包下载完毕用时0分", 0), 0u) << tasks[2];
        EXPECT_EQ(tasks[3], "大包下载完毕");
        EXPECT_EQ(tasks[4], "安装成功");
        EXPECT_EQ(tasks[5], "立即体验");
    }
}

TEST_F(WindowEndToEnd, CloseButtonAsksAndNoKeepsTheWindowThenAltF4Closes) {
    const pid_t pid = StartInstaller();
    const Found main = WaitForWindow("Quorvex");
    ASSERT_NE(main.id, 0u);
    usleep(300000);
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"closebtn"));
    const Found box = WaitForWindow("消息框", 5);
    ASSERT_NE(box.id, 0u) << "no exit confirmation";
    usleep(300000);
    Screenshot("e2e-exit-confirmation-en");
    ClickAt(box, ControlCentre(L"exitTipWnd.xml", L"cancelBtn"));
    usleep(500000);
    EXPECT_TRUE(Alive(pid)) << "\"No\" closed the installer";
    EXPECT_EQ(WaitForWindow("消息框", 1).id, 0u) << "the confirmation stayed";
    // Alt+F4 on the first page closes at once, without asking.
    Xdo({"windowfocus", "--sync", std::to_string(main.id), "key", "alt+F4"});
    const installtest::Result r = Finish(pid);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(Tasks().empty()) << "nothing was installed, nothing reported";
}

TEST_F(WindowEndToEnd, NothingClosesTheWindowDuringAnInstallation) {
    const pid_t pid = StartInstaller({"-instcmd=--delay=600"});
    const Found main = WaitForWindow("Quorvex");
    ASSERT_NE(main.id, 0u);
    usleep(300000);
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"defaultInstallBtn"));
    usleep(800000);
    Screenshot("e2e-progress-page-en");
    Xdo({"windowfocus", "--sync", std::to_string(main.id), "key", "alt+F4"});
    RunProgram({QV_SEND_WM_DELETE, std::to_string(main.id)});
    usleep(300000);
    EXPECT_TRUE(Alive(pid)) << "a close command ended the installation";
    ASSERT_TRUE(WaitForRegistry()) << "the installation did not finish";
    // On the finish page the close button closes at once.
    usleep(300000);
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"closebtn", 3));
    const installtest::Result r = Finish(pid);
    EXPECT_EQ(r.exitCode, 0);
}

TEST_F(WindowEndToEnd, ChineseChosenBeforeInstallingReachesThePackageAndTheRecords) {
    const pid_t pid = StartInstaller();
    const Found main = WaitForWindow("Quorvex");
    ASSERT_NE(main.id, 0u);
    usleep(300000);
    // The list opens upwards; the second entry is 繁體中文.
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"langCombo"));
    usleep(400000);
    Screenshot("e2e-language-list");
    Xdo({"key", "Down", "Return"});
    usleep(500000);
    Screenshot("e2e-default-page-zh");
    Skin::SwitchSkinLanguage(L"zh-TW");  // the controls' places with the Chinese texts
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"closebtn"));
    const Found box = WaitForWindow("消息框", 5);
    ASSERT_NE(box.id, 0u) << "no exit confirmation";
    usleep(300000);
    Screenshot("e2e-exit-confirmation-zh");
    ClickAt(box, ControlCentre(L"exitTipWnd.xml", L"cancelBtn"));
    usleep(400000);
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"customeBtn"));
    usleep(400000);
    Screenshot("e2e-custom-page-zh");
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"installDirEdit", 1));
    usleep(200000);
    Xdo({"key", "ctrl+a", "BackSpace"});
    Xdo({"type", "--delay", "5", (tmp / "apps").string()});
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"customeInstallBtn", 1));
    const bool finished = WaitForRegistry();
    usleep(500000);
    Screenshot("e2e-finish-page-zh");
    Skin::SwitchSkinLanguage(L"en-US");
    ASSERT_TRUE(finished) << "the installation did not finish";
    const fs::path installed = tmp / "apps" / "Pelmora";
    ASSERT_EQ(Registry("InstallPath"), installed.string());
    EXPECT_EQ(installtest::Ini(installed / "set.ini", "Install", "InstallLanguage"), "zh-TW");
    EXPECT_EQ(installtest::Ini(installed / "set.ini", "Install", "InstallLANGID"), "1028");
    std::ifstream readme(installed / "README.txt");
    const std::string text((std::istreambuf_iterator<char>(readme)), {});
    EXPECT_NE(text.find("Language: zh-TW"), std::string::npos) << "the package was not told: " << text;

    ClickAt(main, ControlCentre(L"mainWnd.xml", L"closebtn", 3));  // the finish page closes at once
    const installtest::Result r = Finish(pid);
    EXPECT_EQ(r.exitCode, 0);
    if (collecting) {
        const auto tasks = Tasks();
        ASSERT_EQ(tasks.size(), 5u) << ::testing::PrintToString(tasks);
        EXPECT_EQ(tasks[0], "自定义-点击立即安装");
        EXPECT_EQ(tasks[1], "开始下载大包");
        EXPECT_EQ(tasks[3], "大包下载完毕");
        EXPECT_EQ(tasks[4], "安装成功");
    }
}

TEST_F(WindowEndToEnd, CustomInstallIntoATypedFolderWithoutTheDesktopEntry) {
    const pid_t pid = StartInstaller();
    const Found main = WaitForWindow("Quorvex");
    ASSERT_NE(main.id, 0u);
    usleep(300000);
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"customeBtn"));
    usleep(400000);
    const fs::path typed = tmp / "apps";
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"installDirEdit", 1));
    usleep(200000);
    Xdo({"key", "ctrl+a", "BackSpace"});
    Xdo({"type", "--delay", "5", typed.string()});
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"createDSCb", 1));
    usleep(300000);
    Screenshot("e2e-custom-page-en");
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"customeInstallBtn", 1));
    ASSERT_TRUE(WaitForRegistry()) << "the installation did not finish";
    EXPECT_EQ(Registry("InstallPath"), (typed / "Pelmora").string());
    EXPECT_TRUE(fs::exists(typed / "Pelmora" / "compressor.exe"));
    EXPECT_EQ(DesktopEntries(), std::vector<std::string>{".local/share/applications/quorvex-compressor.desktop"})
        << "a menu entry only";

    usleep(300000);
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"openProduceBtn", 3));
    const installtest::Result r = Finish(pid);
    EXPECT_EQ(r.exitCode, 0);
    CloseProduct();
    if (collecting) {
        const auto tasks = Tasks();
        ASSERT_EQ(tasks.size(), 6u) << ::testing::PrintToString(tasks);
        EXPECT_EQ(tasks[0], "自定义-点击立即安装");
        EXPECT_EQ(tasks[1], "开始下载大包");
        EXPECT_EQ(tasks[2].rfind("大包下载完毕用时0分", 0), 0u) << tasks[2];
        EXPECT_EQ(tasks[3], "大包下载完毕");
        EXPECT_EQ(tasks[4], "安装成功");
        EXPECT_EQ(tasks[5], "立即体验");
    }
}

TEST_F(WindowEndToEnd, PackageFailureIsToldWithThePackagesTextAndTheWindowStays) {
    const pid_t pid = StartInstaller({"-instcmd=--error=磁盘已满"});
    const Found main = WaitForWindow("Quorvex");
    ASSERT_NE(main.id, 0u);
    usleep(300000);
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"defaultInstallBtn"));
    const Found box = WaitForWindow("消息框", 20);
    ASSERT_NE(box.id, 0u) << "no notice came";
    usleep(300000);
    Screenshot("e2e-package-failure-en");
    ClickAt(box, ControlCentre(L"MessageBox1Wnd.xml", L"closebtn"));
    usleep(500000);
    EXPECT_TRUE(Alive(pid)) << "the notice closed the installer";
    EXPECT_EQ(Registry("InstallPath"), "<none>");
    // Back on the first page, where Alt+F4 closes at once.
    Xdo({"windowfocus", "--sync", std::to_string(main.id), "key", "alt+F4"});
    const installtest::Result r = Finish(pid);
    EXPECT_EQ(r.exitCode, 0);
    if (collecting) {
        const auto tasks = Tasks();
        ASSERT_GE(tasks.size(), 2u) << ::testing::PrintToString(tasks);
        EXPECT_EQ(tasks.front(), "默认页-立即安装");
        EXPECT_EQ(tasks.back(), "安装失败原因:1.code=1000；2.msg=磁盘已满");
    }
}

TEST_F(WindowEndToEnd, ServerDownThenReInstallAfterItCameBack) {
    const int port = server->Port();
    server->Stop();
    const pid_t pid = StartInstaller();
    const Found main = WaitForWindow("Quorvex");
    ASSERT_NE(main.id, 0u);
    usleep(300000);
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"defaultInstallBtn"));
    const Found box = WaitForWindow("消息框", 60);
    ASSERT_NE(box.id, 0u) << "no network-failure window";
    usleep(300000);
    Screenshot("e2e-network-failure-en");
    server = std::make_unique<PackageServer::Server>(PackageServer::Options{(tmp / "www").string(), "127.0.0.1", port});
    ASSERT_TRUE(server->Start());
    ClickAt(box, ControlCentre(L"NetworkTipWnd.xml", L"okBtn"));  // "ReInstall"
    ASSERT_TRUE(WaitForRegistry()) << "the retry did not install";
    EXPECT_EQ(Registry("InstallPath"), DefaultFolder().string());
    usleep(300000);
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"closebtn", 3));
    const installtest::Result r = Finish(pid);
    EXPECT_EQ(r.exitCode, 0);
    if (collecting) {
        const auto tasks = Tasks();
        ASSERT_GE(tasks.size(), 3u) << ::testing::PrintToString(tasks);
        EXPECT_EQ(tasks[0], "默认页-立即安装");
        const auto reason = std::find_if(tasks.begin(), tasks.end(), [](const std::string& t) { return t.rfind("1.code=", 0) == 0; });
        ASSERT_NE(reason, tasks.end()) << "no failure reason: " << ::testing::PrintToString(tasks);
        EXPECT_NE(reason->find("4.缓存读写权限=可读"), std::string::npos) << *reason;
        EXPECT_EQ(tasks.back(), "安装成功");
    }
}

// A copy installed earlier (unattended, then marked as Chinese) into a folder of the test.
class ExistingInstallationEndToEnd : public WindowEndToEnd {
protected:
    void SetUp() override {
        WindowEndToEnd::SetUp();
        installed = tmp / "apps" / "Pelmora";
        installtest::Launch launch{InstallArgs(installed)};
        launch.env = {DataHome()};
        const installtest::Result r = Run(launch);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        ASSERT_EQ(Registry("InstallPath"), installed.string());
        Utils::ProfileFile ini = Utils::ProfileFile::Load(installed / "set.ini");
        ini.Set(L"Install", L"InstallLanguage", L"zh-TW");
        ASSERT_TRUE(ini.Save(installed / "set.ini"));
        // A file only the old copy has: its uninstaller removes it (it is in the manifest).
        std::ofstream(installed / "old.txt") << "old";
        std::ofstream(installed / "install.manifest", std::ios::app) << "old.txt\n";
        before = Tasks().size();
    }
    fs::path installed;
    size_t before = 0;
};

TEST_F(ExistingInstallationEndToEnd, InstallTheLatestVersionRunsTheOldUninstallerFirst) {
    const pid_t pid = StartInstaller();
    const Found box = WaitForWindow("消息框");
    ASSERT_NE(box.id, 0u) << "the existing installation was not offered";
    usleep(300000);
    Screenshot("e2e-existing-installation");
    ClickAt(box, ControlCentre(L"InstalledPathTipWnd.xml", L"okBtn"));
    const Found main = WaitForWindow("Quorvex");
    ASSERT_NE(main.id, 0u);
    for (int i = 0; i < 300 && fs::exists(installed / "old.txt"); ++i) usleep(100000);
    EXPECT_FALSE(fs::exists(installed / "old.txt")) << "the old copy's uninstaller did not run";
    for (int i = 0; i < 300 && !fs::exists(installed / "compressor.exe"); ++i) usleep(100000);
    EXPECT_TRUE(fs::exists(installed / "compressor.exe"));
    usleep(800000);
    Screenshot("e2e-reinstalled");
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"closebtn", 3));
    const installtest::Result r = Finish(pid);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(installtest::Ini(installed / "set.ini", "Install", "InstallLanguage"), "zh-TW") << "the previous language is kept";
    if (collecting) {
        const auto tasks = TasksAfter(before);
        ASSERT_EQ(tasks.size(), 4u) << ::testing::PrintToString(tasks);
        EXPECT_EQ(tasks[0], "开始下载大包");
        EXPECT_EQ(tasks[1].rfind("大包下载完毕用时0分", 0), 0u) << tasks[1];
        EXPECT_EQ(tasks[2], "大包下载完毕");
        EXPECT_EQ(tasks[3], "安装成功");
    }
}

TEST_F(ExistingInstallationEndToEnd, LaunchItStartsTheProductAndCloses) {
    const pid_t pid = StartInstaller();
    const Found box = WaitForWindow("消息框");
    ASSERT_NE(box.id, 0u) << "the existing installation was not offered";
    usleep(300000);
    ClickAt(box, ControlCentre(L"InstalledPathTipWnd.xml", L"cancelBtn"));  // "Launch it"
    const installtest::Result r = Finish(pid);
    EXPECT_EQ(r.exitCode, 0);
    CloseProduct();
    EXPECT_TRUE(fs::exists(installed / "old.txt")) << "launching changed the installation";
    EXPECT_TRUE(TasksAfter(before).empty()) << "launching an installed copy is no install event";
}

}  // namespace
