// End to end with the real installer executable and its window on a private Xvfb, clicked with
// xdotool where a person would click: the controls' places come from the built-in skin's own
// layouts, laid out here the way the window lays them out.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "support/XvfbDisplay.h"
#include "tests/install/UnattendedHarness.h"
#include "toolkit/ControlFactory.h"
#include "toolkit/LayoutBuilder.h"
#include "toolkit/PaintManager.h"
#include "toolkit/TabLayout.h"
#include "ui/controls/SequenceControlFactory.h"
#include "ui/skin/SkinPackage.h"
#include "ui/skin/TextFitting.h"

using namespace Toolkit;
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

struct SequenceFactory : IControlFactory {
    std::unique_ptr<CControlUI> CreateControl(const std::wstring& name) override {
        return Controls::CreateSequenceControl(name);
    }
};

// Where a control of a layout sits inside its window, with "mainTabLt" on `page`.
struct Point2 {
    int x = 0, y = 0;
};
Point2 ControlCentre(const wchar_t* layout, const wchar_t* control, int page = 0) {
    CPaintManagerUI manager;
    SequenceFactory factory;
    BuildResult built = CLayoutBuilder::BuildFromResource(layout, &manager, &factory);
    EXPECT_TRUE(built.ok) << "layout";
    if (!built.ok) return {};
    manager.AttachRoot(std::move(built.root));
    manager.SetClientSize(manager.GetInitSize());
    Skin::FitTextWidths(manager);
    if (auto* tabs = dynamic_cast<CTabLayoutUI*>(manager.FindControl(L"mainTabLt"))) tabs->SelectItem(page, false);
    manager.UpdateLayout();
    CControlUI* c = manager.FindControl(control);
    EXPECT_NE(c, nullptr);
    if (!c) return {};
    const Rect r = c->GetPos();
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
        ::pclose(p);
    }
    return out;
}

bool Xdo(const std::string& args) { return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()) == 0; }

void Screenshot(const std::string& name) {
    if (const char* dir = std::getenv("QV_SCREENSHOT_DIR"))
        (void)std::system(("import -window root " + std::string(dir) + "/" + name + ".png").c_str());
}

// The visible window with exactly this title: its id and top-left corner; id 0 when none
// appears within `seconds`.
struct Found {
    unsigned long id = 0;
    int x = 0, y = 0;
};
Found WaitForWindow(const std::string& title, int seconds = 15) {
    for (int i = 0; i < seconds * 10; ++i) {
        const std::string ids = Capture("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null");
        if (!ids.empty()) {
            Found f;
            f.id = std::stoul(ids);
            const std::string geometry = Capture("xdotool getwindowgeometry --shell " + std::to_string(f.id));
            std::sscanf(geometry.c_str() + geometry.find("X="), "X=%d", &f.x);
            std::sscanf(geometry.c_str() + geometry.find("Y="), "Y=%d", &f.y);
            return f;
        }
        usleep(100000);
    }
    return {};
}

void ClickAt(const Found& window, Point2 p) {
    Xdo("mousemove " + std::to_string(window.x + p.x) + " " + std::to_string(window.y + p.y) + " sleep 0.1 click 1");
}

class WindowEndToEnd : public installtest::UnattendedTest {
protected:
    // The installer with its window; as root the default folder /opt is a private tmpfs of
    // the run, so the machine's /opt is never touched.
    pid_t StartInstaller(std::vector<std::string> args = {}) {
        installtest::Launch launch;
        launch.args = {"-downloadurl=" + server->FileUrl("Quorvex_setup.exe")};
        launch.args.insert(launch.args.end(), args.begin(), args.end());
        launch.env = {std::string("DISPLAY=") + std::getenv("DISPLAY")};
        // Sanitizer builds: the child reports with the same suppressions (GTK's own caches).
        for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"})
            if (const char* value = std::getenv(name)) launch.env.push_back(std::string(name) + "=" + value);
        if (::geteuid() == 0) {
            launch.tmpfsOn = "/opt";
            launch.tmpfsBytes = size_t(2) << 30;
        }
        return Spawn(launch);
    }
    bool WaitForRegistry(int seconds = 30) {
        for (int i = 0; i < seconds * 10; ++i) {
            if (Registry("InstallPath") != "<none>") return true;
            usleep(100000);
        }
        return false;
    }
    bool Alive(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0; }
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
    EXPECT_TRUE(Xdo("search --sync --class quorvex-compressor")) << "the product's window did not appear";
    Screenshot("e2e-product");
    Xdo("search --class quorvex-compressor windowkill");
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
    Xdo("windowfocus --sync " + std::to_string(main.id) + " key alt+F4");
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
    Xdo("windowfocus --sync " + std::to_string(main.id) + " key alt+F4");
    (void)std::system((std::string(QV_SEND_WM_DELETE) + " " + std::to_string(main.id)).c_str());
    usleep(300000);
    EXPECT_TRUE(Alive(pid)) << "a close command ended the installation";
    ASSERT_TRUE(WaitForRegistry()) << "the installation did not finish";
    // On the finish page the close button closes at once.
    usleep(300000);
    ClickAt(main, ControlCentre(L"mainWnd.xml", L"closebtn", 3));
    const installtest::Result r = Finish(pid);
    EXPECT_EQ(r.exitCode, 0);
}

}  // namespace
