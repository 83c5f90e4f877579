// The main window's install flow with real parts: the orchestrator downloading the sample
// package from the package server, the package installing into a test folder, analytics going
// to the test collector, boxes answered with the mouse on a private Xvfb.
#include <gtest/gtest.h>

#include <fstream>

#include "analytics/tracker/source/src/UsageTracker.h"
#include "config/InstallerSettings.h"
#include "install/InstallCodes.h"
#include "support/WindowTestSupport.h"
#include "tests/analytics/tracker/TrackerTestSupport.h"
#include "tests/install/ProcessTableLock.h"
#include "tests/install/TestEnvironment.h"
#include "toolkit/CheckBox.h"
#include "toolkit/Edit.h"
#include "toolkit/Progress.h"
#include "toolkit/Combo.h"
#include "toolkit/TabLayout.h"
#include "ui/skin/SkinPackage.h"
#include "ui/skin/TextTable.h"
#include "tools/package-server/PackageServer.h"
#include "ui/windows/CMainWnd.h"
#include "ui/windows/CMessageBoxWnd.h"
#include "utils/ProfileFile.h"
#include "utils/RegistryStore.h"
#include "utils/StringUtils.h"

using namespace Toolkit;
using namespace WindowTest;
using varnel::tracking::UsageTracker;
namespace fs = std::filesystem;

namespace {

installtest::ProcessEnvironment g_environment;

class DisplayEnvironment : public ::testing::Environment {
public:
    void SetUp() override { SetUpDisplay(); }
    void TearDown() override { TearDownDisplay(); }
};
const auto* g_display = ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

class InstallFlow : public trackertest::TrackerTest {
protected:
    void SetUp() override {
        TrackerTest::SetUp();
        fs::remove(g_environment.Root() / "config" / "VarNelSoft" / "registry.ini");
        fs::create_directories(temp_.path() / "www");
        fs::copy_file(SAMPLE_PACKAGE, temp_.path() / "www" / "Quorvex_setup.exe");
        server = std::make_unique<PackageServer::Server>(PackageServer::Options{(temp_.path() / "www").string()});
        ASSERT_TRUE(server->Start());
        InstallerSettings& settings = InstallerSettings::Instance();
        settings.IsEnableAppAnalytics = true;
        settings.IsCheckNet = false;
        settings.InstCmd.clear();
        settings.SetDownloadUrl(Utils::FromUtf8(server->FileUrl("Quorvex_setup.exe")));
        UsageTracker::start(Config(), Environment());
        folder = temp_.path() / "apps";
    }
    void TearDown() override {
        if (window && window->IsWindow()) {
            Select(0);
            window->SendMessage(WM_CLOSE);
        }
        window.reset();
        Skin::SwitchSkinLanguage(L"en-US");
        server->Stop();
        TrackerTest::TearDown();
    }

    void Open() {
        window = std::make_unique<CMainWnd>();
        ASSERT_TRUE(window->Create(nullptr, L"Quorvex"));
        window->CenterWindow();
        ASSERT_TRUE(PumpUntil([this] { return Mapped(*window); }));
        Pump(100);
    }
    void Select(int page) { static_cast<CTabLayoutUI*>(window->FindControl(L"mainTabLt"))->SelectItem(page); }
    bool WaitForPage(int page, int ms = 20000) {
        return PumpUntil([&] { return window->IsWindow() && window->CurrentPage() == page; }, ms);
    }
    // The custom page with `typed` in the folder field.
    void TypeFolder(const fs::path& typed) {
        Click(*window, L"customeBtn");
        ASSERT_TRUE(WaitForPage(1));
        auto* edit = static_cast<CEditUI*>(window->FindControl(L"installDirEdit"));
        Click(*window, L"installDirEdit");
        ASSERT_TRUE(PumpUntil([&] { return window->PaintManager().GetFocus() == edit; }));
        Xdo("key ctrl+a BackSpace");
        Xdo("type --delay 5 '" + typed.string() + "'");
        ASSERT_TRUE(PumpUntil([&] { return edit->GetText() == Utils::FromUtf8(typed.string()); }));
    }
    // The task names that reached the collector, in order (the tracker is released to send).
    std::vector<std::string> TaskNames() {
        UsageTracker::release();
        std::vector<std::string> names;
        for (const auto& r : Take())
            if (r.value("event", "") == "VnEventTask") names.push_back(r["properties"].value("vn_task_name", ""));
        return names;
    }
    std::string Registry(const wchar_t* name) {
        std::wstring value;
        return Utils::ReadRegString(name, value) ? Utils::ToUtf8(value) : "";
    }

    // Held for the whole test: the pre-check looks for uninstaller copies machine-wide, and
    // other test programs run them.
    installtest::ProcessTableLock processTable_;
    std::unique_ptr<PackageServer::Server> server;
    std::unique_ptr<CMainWnd> window;
    fs::path folder;
};

std::string SetIni(const fs::path& folder, const char* key) {
    const auto v = Utils::ProfileFile::Load(folder / "set.ini").Get(L"Install", Utils::FromUtf8(key));
    return v ? Utils::ToUtf8(*v) : "";
}

TEST_F(InstallFlow, CustomInstallIntoATypedFolderWithoutDesktopIcon) {
    Open();
    TypeFolder(folder);
    Click(*window, L"createDSCb");
    ASSERT_TRUE(PumpUntil([&] { return !static_cast<CCheckBoxUI*>(window->FindControl(L"createDSCb"))->IsSelected(); }));
    Click(*window, L"customeInstallBtn");
    // The sample package installs in a blink: the progress page may be gone before a check.
    ASSERT_TRUE(WaitForPage(3)) << "the installation did not finish";
    Screenshot("flow-finish");
    const fs::path installed = folder / "Pelmora";
    EXPECT_TRUE(fs::exists(installed / "compressor.exe"));
    EXPECT_EQ(static_cast<CProgressUI*>(window->FindControl(L"installPrg"))->GetValue(), 100);
    EXPECT_EQ(Registry(L"InstallPath"), installed.string());
    EXPECT_EQ(Registry(L"UnInstallEp"), (installed / "uninst.ep").string());
    EXPECT_EQ(SetIni(installed, "InstallLanguage"), "en-US");
    EXPECT_EQ(SetIni(installed, "InstallLANGID"), "1033");
    // The package was told: no desktop icon, a menu entry all the same.
    EXPECT_TRUE(fs::exists(g_environment.Root() / "data" / "applications" / "quorvex-compressor.desktop"));
    EXPECT_FALSE(fs::exists(g_environment.Root() / "home" / "Desktop" / "quorvex-compressor.desktop"));

    // "Start Now" closes the window; the package asked for the user to start the product.
    Click(*window, L"openProduceBtn");
    EXPECT_TRUE(PumpUntil([this] { return !window->IsWindow(); }));
    EXPECT_TRUE(Xdo("search --sync --class quorvex-compressor >/dev/null")) << "the product's window did not appear";
    Xdo("search --class quorvex-compressor windowkill >/dev/null 2>&1");

    const auto names = TaskNames();
    ASSERT_EQ(names.size(), 6u) << ::testing::PrintToString(names);
    EXPECT_EQ(names[0], "自定义-点击立即安装");
    EXPECT_EQ(names[1], "开始下载大包");
    EXPECT_EQ(names[2].rfind("大包下载完毕用时0分", 0), 0u) << names[2];
    EXPECT_EQ(names[3], "大包下载完毕");
    EXPECT_EQ(names[4], "安装成功");
    EXPECT_EQ(names[5], "立即体验");
}

TEST_F(InstallFlow, ChineseChosenBeforeInstallingReachesThePackageAndTheRecords) {
    Open();
    static_cast<CComboUI*>(window->FindControl(L"langCombo"))->SelectItem(1);  // 繁體中文
    TypeFolder(folder);
    Screenshot("flow-custom-zh");
    Click(*window, L"customeInstallBtn");
    ASSERT_TRUE(WaitForPage(3)) << "the installation did not finish";
    Screenshot("flow-finish-zh");
    const fs::path installed = folder / "Pelmora";
    EXPECT_EQ(SetIni(installed, "InstallLanguage"), "zh-TW");
    EXPECT_EQ(SetIni(installed, "InstallLANGID"), "1028");
    std::ifstream readme(installed / "README.txt");
    const std::string text((std::istreambuf_iterator<char>(readme)), {});
    EXPECT_NE(text.find("Language: zh-TW"), std::string::npos) << text;
    // The window's texts followed the choice.
    const std::wstring shown = window->FindControl(L"customeInstallBtn")->GetDisplayText();
    EXPECT_NE(shown, L"Install Now");
    EXPECT_NE(shown, L"IDCustomeInstallBtn");
}

TEST_F(InstallFlow, PackageFailureShowsItsTextAndReturnsToTheFirstPage) {
    InstallerSettings::Instance().InstCmd = L"--error=磁盘已满";
    Open();
    TypeFolder(folder);
    std::wstring shown;
    auto closed = AnswerBox(L"closebtn", [&](CWindowBase& box) {
        shown = box.FindControl(L"textLbl")->GetText();
        Screenshot("flow-package-failure");
    });
    Click(*window, L"customeInstallBtn");
    ASSERT_TRUE(PumpUntil([&] { return *closed; }, 20000)) << "no notice came";
    EXPECT_EQ(shown, L"磁盘已满") << "the notice shows the package's own text";
    EXPECT_TRUE(WaitForPage(0));
    EXPECT_TRUE(window->FindControl(L"defaultInstallBtn")->IsEnabled());
    const auto names = TaskNames();
    ASSERT_GE(names.size(), 4u) << ::testing::PrintToString(names);
    EXPECT_EQ(names.back(), "安装失败原因:1.code=1000；2.msg=磁盘已满");
}

TEST_F(InstallFlow, ServerDownThenRetryAfterItCameBack) {
    const int port = server->Port();
    server->Stop();
    Open();
    TypeFolder(folder);
    bool offered = false;
    auto retried = AnswerBox(L"okBtn" /* "ReInstall" */, [&](CWindowBase&) {
        offered = true;
        Screenshot("flow-network-failure");
        server = std::make_unique<PackageServer::Server>(
            PackageServer::Options{(temp_.path() / "www").string(), "127.0.0.1", port});
        EXPECT_TRUE(server->Start());
    });
    Click(*window, L"customeInstallBtn");
    ASSERT_TRUE(PumpUntil([&] { return *retried; }, 60000)) << "no network-failure window";
    EXPECT_TRUE(offered);
    ASSERT_TRUE(WaitForPage(3)) << "the retry did not install";
    EXPECT_TRUE(fs::exists(folder / "Pelmora" / "compressor.exe"));
    const auto names = TaskNames();
    ASSERT_GE(names.size(), 3u) << ::testing::PrintToString(names);
    EXPECT_EQ(names[0], "自定义-点击立即安装");
    size_t reason = 1;
    while (reason < names.size() && names[reason].rfind("1.code=", 0) != 0) ++reason;
    ASSERT_LT(reason, names.size()) << "no failure reason: " << ::testing::PrintToString(names);
    EXPECT_NE(names[reason].find("4.缓存读写权限=可读"), std::string::npos) << names[reason];
    EXPECT_EQ(names.back(), "安装成功");
}

TEST_F(InstallFlow, CloseCommandsDoNothingWhileInstalling) {
    InstallerSettings::Instance().InstCmd = L"--delay=700";
    Open();
    TypeFolder(folder);
    Click(*window, L"customeInstallBtn");
    ASSERT_TRUE(WaitForPage(2, 5000));
    Pump(200);
    Screenshot("flow-progress");
    PressKeys(*window, "alt+F4");
    SendWmDelete(*window);
    Pump(300);
    EXPECT_TRUE(window->IsWindow());
    EXPECT_EQ(window->CurrentPage(), 2);
    EXPECT_FALSE(window->FindControl(L"titleGrpCtn")->IsVisible());
    ASSERT_TRUE(WaitForPage(3)) << "the installation did not finish";
    PressKeys(*window, "alt+F4");
    EXPECT_TRUE(PumpUntil([this] { return !window->IsWindow(); })) << "Alt+F4 on the finish page did not close";
}

TEST_F(InstallFlow, AutoStartupStartsTheProductAtSuccessAndTheButtonOnlyCloses) {
    InstallerSettings::Instance().InstCmd = L"--startup=AutoStartup";
    Open();
    TypeFolder(folder);
    Click(*window, L"customeInstallBtn");
    ASSERT_TRUE(WaitForPage(3));
    EXPECT_TRUE(Xdo("search --sync --class quorvex-compressor >/dev/null")) << "the product did not start at success";
    // Out of the way of the finish button (no window manager stacks windows here).
    Xdo("search --class quorvex-compressor windowkill >/dev/null 2>&1");
    Pump(300);
    Click(*window, L"openProduceBtn");
    EXPECT_TRUE(PumpUntil([this] { return !window->IsWindow(); }));
    Pump(800);
    EXPECT_FALSE(Xdo("search --class quorvex-compressor >/dev/null 2>&1")) << "the finish button started the product again";
}

TEST_F(InstallFlow, FinishPageComesToTheFrontAndClosesAfterThePackagesDelays) {
    InstallerSettings::Instance().InstCmd = L"--delay=300";
    Open();
    TypeFolder(folder);
    Click(*window, L"customeInstallBtn");
    ASSERT_TRUE(WaitForPage(2, 5000));
    // The delays as the orchestrator hands them over from the package's status lines.
    window->SendMessage(WM_INSTALLER_EVENT, 0,
                        reinterpret_cast<std::intptr_t>(new UiEventRecord{PKG_CODE_TOP_SHOW, 700, L""}));
    window->SendMessage(WM_INSTALLER_EVENT, 0,
                        reinterpret_cast<std::intptr_t>(new UiEventRecord{PKG_CODE_FINISH_CLOSE, 2000, L""}));
    ASSERT_TRUE(WaitForPage(3)) << "the installation did not finish";
    // Hidden by the user's other windows, it comes back on its own once.
    window->ShowWindow(false);
    ASSERT_TRUE(PumpUntil([this] { return !Mapped(*window); }));
    EXPECT_TRUE(PumpUntil([this] { return Mapped(*window); }, 1500)) << "not brought to the front";
    window->ShowWindow(false);
    Pump(900);
    ASSERT_TRUE(window->IsWindow()) << "closed before its delay";
    EXPECT_FALSE(Mapped(*window)) << "brought to the front more than once";
    EXPECT_TRUE(PumpUntil([this] { return !window->IsWindow(); }, 2500)) << "not closed after its delay";
}

TEST_F(InstallFlow, ZeroDelaysNeitherBringToTheFrontNorClose) {
    InstallerSettings::Instance().InstCmd = L"--delay=300";
    Open();
    TypeFolder(folder);
    Click(*window, L"customeInstallBtn");
    ASSERT_TRUE(WaitForPage(2, 5000));
    window->SendMessage(WM_INSTALLER_EVENT, 0,
                        reinterpret_cast<std::intptr_t>(new UiEventRecord{PKG_CODE_TOP_SHOW, 0, L""}));
    window->SendMessage(WM_INSTALLER_EVENT, 0,
                        reinterpret_cast<std::intptr_t>(new UiEventRecord{PKG_CODE_FINISH_CLOSE, 0, L""}));
    ASSERT_TRUE(WaitForPage(3)) << "the installation did not finish";
    window->ShowWindow(false);
    Pump(1200);
    EXPECT_TRUE(window->IsWindow());
    EXPECT_FALSE(Mapped(*window));
}

// A copy installed earlier into the test folder, as the registry knows it.
class ExistingInstallation : public InstallFlow {
protected:
    void SetUp() override {
        InstallFlow::SetUp();
        installed = folder / "Pelmora";
        const std::string cmd = std::string(SAMPLE_PACKAGE) + " /S -inslang=\"zh-TW\" '/D=" + installed.string() + "' >/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        // A file only the old copy has: the uninstaller removes it (it is in the manifest).
        std::ofstream(installed / "old.txt") << "old";
        std::ofstream(installed / "install.manifest", std::ios::app) << "old.txt\n";
        ASSERT_TRUE(Utils::WriteRegString(L"InstallPath", Utils::FromUtf8(installed.string())));
        ASSERT_TRUE(Utils::WriteRegString(L"UnInstallEp", Utils::FromUtf8((installed / "uninst.ep").string())));
        Utils::ProfileFile ini = Utils::ProfileFile::Load(installed / "set.ini");
        ini.Set(L"Install", L"InstallLanguage", L"zh-TW");
        ASSERT_TRUE(ini.Save(installed / "set.ini"));
    }
    fs::path installed;
};

TEST_F(ExistingInstallation, InstallTheLatestVersionRunsTheOldUninstallerFirst) {
    // "Install the latest version".
    auto chosen = AnswerBox(L"okBtn", [](CWindowBase&) { Screenshot("box-existing-zh"); });
    Open();
    ASSERT_TRUE(PumpUntil([&] { return *chosen; }));
    ASSERT_TRUE(WaitForPage(3)) << "the reinstall did not finish";
    EXPECT_FALSE(fs::exists(installed / "old.txt")) << "the old copy's uninstaller did not run";
    EXPECT_TRUE(fs::exists(installed / "compressor.exe"));
    EXPECT_EQ(SetIni(installed, "InstallLanguage"), "zh-TW") << "the previous language is kept";
    EXPECT_EQ(static_cast<CComboUI*>(window->FindControl(L"langCombo"))->GetCurSel(), 1)
        << "the language list shows the previous language";
}

TEST_F(ExistingInstallation, AFailingOldUninstallerIsToldAndTheInstallerCloses) {
    std::ofstream(installed / "uninst.mode") << "fail\n";
    // Both answers wait from the start: the notice comes inside the loop that took the first.
    auto chosen = AnswerBox(L"okBtn", {}, kInstalledTipLayout);
    std::wstring told;
    auto notice = AnswerBox(
        L"closebtn", [&](CWindowBase& box) { told = box.FindControl(L"textLbl")->GetText(); }, kNoticeLayout);
    Open();
    ASSERT_TRUE(PumpUntil([&] { return *chosen && *notice; }, 20000)) << "no notice about the uninstaller";
    EXPECT_EQ(told, Skin::GetText(L"IDMsgSoftRunning"));
    EXPECT_TRUE(PumpUntil([this] { return !window->IsWindow(); })) << "with a previous installation the installer closes";
    EXPECT_TRUE(fs::exists(installed / "old.txt")) << "nothing may change when the old uninstaller failed";
    EXPECT_FALSE(fs::exists(installed / "__Package_Quorvex.exe")) << "nothing is downloaded";
}

TEST_F(ExistingInstallation, LaunchItStartsTheProductAndCloses) {
    auto chosen = AnswerBox(L"cancelBtn");
    Open();
    ASSERT_TRUE(PumpUntil([&] { return *chosen; }));
    EXPECT_TRUE(PumpUntil([this] { return !window->IsWindow(); })) << "the installer stayed open";
    EXPECT_TRUE(Xdo("search --sync --class quorvex-compressor >/dev/null")) << "the product did not start";
    Xdo("search --class quorvex-compressor windowkill >/dev/null 2>&1");
    EXPECT_TRUE(TaskNames().empty()) << "launching an installed copy is no install event";
}

}  // namespace

TEST_F(InstallFlow, ASlowDownloadShowsItsSpeedUnderTheBarUntilThePackageRuns) {
    server->SetRate(1 << 20);  // the 3.3 MB sample takes about three seconds
    Open();
    TypeFolder(folder);
    Click(*window, L"customeInstallBtn");
    CControlUI* speed = window->FindControl(L"speedLb");
    ASSERT_NE(speed, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return !speed->GetText().empty(); }, 10000)) << "no speed while downloading";
    EXPECT_EQ(window->CurrentPage(), 2);
    const std::string line = Utils::ToUtf8(speed->GetText());
    // 1 MiB/s is 1.05 MB/s; the steady value may still be settling.
    EXPECT_TRUE(line.rfind("1.0 MB/s", 0) == 0 || line.rfind("1.1 MB/s", 0) == 0 || line.find(" KB/s") != std::string::npos)
        << line;
    Screenshot("flow-download-speed");
    ASSERT_TRUE(WaitForPage(3)) << "the installation did not finish";
    EXPECT_EQ(speed->GetText(), L"") << "the line stays up after the download";
}
