// The skin in real windows on a private Xvfb: a language switch refreshes every open window,
// newest first, and the new texts reach the screen; the product icon from the built-in
// resources is set on the windows; the install button's blue is what the X server shows.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "../../toolkit/support/XvfbDisplay.h"
#include "toolkit/GtkHost.h"
#include "toolkit/GtkWindowHost_gtk.h"
#include "toolkit/WindowBase.h"
#include "toolkit/WindowIcon.h"
#include "ui/controls/SequenceControlFactory.h"
#include "ui/skin/ProductIcon.h"
#include "ui/skin/SkinPackage.h"

// After the test framework: Xlib's macros would break its headers.
#include <gdk/gdkx.h>

using namespace Toolkit;

namespace {

class DisplayEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(XvfbDisplay::Start(&error)) << error;
        int argc = 0;
        char** argv = nullptr;
        ASSERT_TRUE(InitGtkHost(&argc, &argv));
        unsetenv("QV_SKIN_DIR");
        Skin::OpenSkinPackage();
    }
    void TearDown() override { XvfbDisplay::Stop(); }
};
const auto* g_env = ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

bool PumpUntil(const std::function<bool()>& done, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        g_usleep(5000);
    }
    return true;
}

std::vector<std::wstring> g_refreshed;

class SkinWindow : public CWindowBase {
public:
    explicit SkinWindow(std::wstring file) : file_(std::move(file)) {}
    std::wstring GetWindowClassName() const override { return file_.substr(0, file_.rfind(L'.')); }
    std::wstring GetSkinFile() override { return file_; }
    std::unique_ptr<CControlUI> CreateControl(const std::wstring& name) override {
        return Controls::CreateSequenceControl(name);
    }
    void RefreshSkin() override {
        g_refreshed.push_back(GetWindowClassName());
        CWindowBase::RefreshSkin();
    }
    GtkWindowHost& Host() { return *static_cast<GtkWindowHost*>(Native()); }
    bool Mapped() { return IsWindow() && gtk_widget_get_mapped(Host().Widget()); }
    std::string Xid() { return std::to_string(GDK_WINDOW_XID(gtk_widget_get_window(Host().Widget()))); }
    // The colour the X server shows at a point of the client area, as 0xRRGGBB.
    unsigned ScreenRgb(int x, int y) {
        const int m = Host().Margin();
        GdkPixbuf* shot = gdk_pixbuf_get_from_window(gtk_widget_get_window(Host().Widget()), x + m, y + m, 1, 1);
        if (!shot) return 0xFFFFFFFFu;
        const guchar* px = gdk_pixbuf_read_pixels(shot);
        const unsigned rgb = (px[0] << 16) | (px[1] << 8) | px[2];
        g_object_unref(shot);
        return rgb;
    }

private:
    std::wstring file_;
};

std::string Output(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        pclose(p);
    }
    return out;
}

TEST(LiveWindowTest, LanguageSwitchReachesEveryOpenWindowNewestFirst) {
    SkinWindow main(L"MainWnd.xml");
    ASSERT_TRUE(main.Create(nullptr, L"Quorvex"));
    SkinWindow box(L"ExitTipWnd.xml");
    ASSERT_TRUE(box.Create(&main, L"消息框"));
    ASSERT_TRUE(PumpUntil([&] { return main.Mapped() && box.Mapped(); }));
    EXPECT_EQ(box.FindControl(L"okBtn")->GetDisplayText(), L"Yes");

    g_refreshed.clear();
    ASSERT_TRUE(Skin::SwitchSkinLanguage(L"zh-TW"));
    EXPECT_EQ(g_refreshed, (std::vector<std::wstring>{L"ExitTipWnd", L"MainWnd"}));
    EXPECT_TRUE(main.PaintManager().IsUpdateNeeded());
    EXPECT_EQ(box.FindControl(L"okBtn")->GetDisplayText(), L"是");
    EXPECT_EQ(main.FindControl(L"defaultInstallBtn")->GetDisplayText(), L"立即安裝");
    ASSERT_TRUE(PumpUntil([&] { return !main.PaintManager().IsUpdateNeeded(); }));

    // What the screen shows: the install button's blue beside its text.
    const Rect button = main.FindControl(L"defaultInstallBtn")->GetPos();
    box.SendMessage(WM_CLOSE);
    PumpUntil([&] { return false; }, 200);
    EXPECT_EQ(main.ScreenRgb(button.left + 8, button.top + button.Height() / 2), 0x2196F3u);
    ASSERT_TRUE(Skin::SwitchSkinLanguage(L"en-US"));
    EXPECT_EQ(g_refreshed.back(), L"MainWnd");
    main.SendMessage(WM_CLOSE);
}

TEST(LiveWindowTest, ProductIconAtBothSizesOnTheWindows) {
    SetWindowIconImages(Skin::ProductIconPngFiles());
    SkinWindow w(L"NetworkTipWnd.xml");
    ASSERT_TRUE(w.Create(nullptr, L"Quorvex"));
    ASSERT_TRUE(PumpUntil([&] { return w.Mapped(); }));
    PumpUntil([&] { return false; }, 100);
    const std::string icon = Output("xprop -id " + w.Xid() + " _NET_WM_ICON");
    EXPECT_NE(icon.find("Icon (64 x 64)"), std::string::npos) << icon.substr(0, 200);
    EXPECT_NE(icon.find("Icon (128 x 128)"), std::string::npos) << icon.substr(0, 200);
    w.SendMessage(WM_CLOSE);
    SetWindowIconImages({});
}

}  // namespace
