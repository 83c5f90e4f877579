// A real window at GDK_SCALE=2 on a private Xvfb: twice the pixels, sharp text and edges, and
// pointer input, caption drag and the native text field in window units.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

#include "support/TestSkin.h"
#include "support/XvfbDisplay.h"
#include "toolkit/GtkHost.h"
#include "toolkit/GtkWindowHost_gtk.h"
#include "toolkit/OffscreenRenderer.h"
#include "toolkit/SkinResources.h"
#include "toolkit/TabLayout.h"
#include "toolkit/WindowBase.h"

using namespace Toolkit;

namespace {

class DenseDisplay : public ::testing::Environment {
public:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(XvfbDisplay::Start(&error, "2560x1600x24")) << error;
        setenv("GDK_SCALE", "2", 1);
        int argc = 0;
        char** argv = nullptr;
        ASSERT_TRUE(InitGtkHost(&argc, &argv));
        const std::string dir = TestSkin::PrivateFolder("qv_dense_skin");
        ASSERT_TRUE(TestSkin::WriteFolder(dir));
        ASSERT_TRUE(SkinResources::Instance().OpenZipCopy(TestSkin::MakeZip(dir)));
    }
    void TearDown() override { XvfbDisplay::Stop(); }
};
const auto* g_env = ::testing::AddGlobalTestEnvironment(new DenseDisplay);

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

void Pump(int ms) { PumpUntil([] { return false; }, ms); }

void Xdo(const std::string& args) {
    const std::string cmd = "xdotool " + args;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

class DenseWindow : public CWindowBase {
public:
    explicit DenseWindow(std::wstring file) : file_(std::move(file)) {}
    std::wstring GetWindowClassName() const override { return L"DenseWnd"; }
    std::wstring GetSkinFile() override { return file_; }
    void Notify(TNotifyUI& msg) override {
        if (msg.type == L"click") clicks.push_back(msg.sender->GetName());
        CWindowBase::Notify(msg);
    }
    GtkWindowHost& Host() { return *static_cast<GtkWindowHost*>(Native()); }
    bool Mapped() { return IsWindow() && gtk_widget_get_mapped(Host().Widget()); }
    // Device pixels of a screen point in window units (xdotool speaks device pixels).
    std::string DeviceAt(const wchar_t* name) {
        PaintManager().UpdateLayout();
        const Rect r = Host().ScreenRectOf(FindControl(name)->GetPos());
        return std::to_string(r.left + r.right) + " " + std::to_string(r.top + r.bottom);
    }
    std::vector<std::wstring> clicks;

private:
    std::wstring file_;
};

// The window's client area as the X server shows it, in device pixels.
struct Shot {
    GdkPixbuf* pixbuf = nullptr;
    ~Shot() {
        if (pixbuf) g_object_unref(pixbuf);
    }
    std::uint32_t Rgb(int x, int y) const {
        const guchar* p = gdk_pixbuf_read_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) +
                          x * gdk_pixbuf_get_n_channels(pixbuf);
        return (p[0] << 16) | (p[1] << 8) | p[2];
    }
};

void Capture(DenseWindow& w, Shot& shot) {
    const Size size = w.PaintManager().GetClientSize();
    const int m = w.Host().Margin();
    shot.pixbuf = gdk_pixbuf_get_from_window(gtk_widget_get_window(w.Host().Widget()), m, m, size.cx, size.cy);
}

void Screenshot(const char* name) {
    if (const char* dir = std::getenv("QV_SCREENSHOT_DIR")) {
        const std::string cmd = std::string("import -window root ") + dir + "/" + name + ".png";
        (void)std::system(cmd.c_str());
    }
}

}  // namespace

TEST(HighDensity, TheWindowIsDrawnAtTwiceThePixelsWithSharpTextAndEdges) {
    DenseWindow w(L"box.xml");
    ASSERT_TRUE(w.Create(nullptr, L"Quorvex"));
    w.CenterWindow();
    Xdo("mousemove 0 0");
    ASSERT_TRUE(PumpUntil([&] { return w.Mapped(); }));
    Pump(200);
    ASSERT_EQ(gtk_widget_get_scale_factor(w.Host().Widget()), 2);
    Shot shot;
    Capture(w, shot);
    ASSERT_NE(shot.pixbuf, nullptr);
    ASSERT_EQ(gdk_pixbuf_get_width(shot.pixbuf), 720);
    ASSERT_EQ(gdk_pixbuf_get_height(shot.pixbuf), 360);
    Screenshot("dense-box");

    // Edges: the title row's one-unit bottom rule is two device rows of its colour between
    // white rows, not a blurred three.
    w.PaintManager().UpdateLayout();
    EXPECT_EQ(shot.Rgb(200, 2 * 38 - 1), 0xFFFFFFu);
    EXPECT_EQ(shot.Rgb(200, 2 * 38), 0xF3F5F9u);
    EXPECT_EQ(shot.Rgb(200, 2 * 38 + 1), 0xF3F5F9u);
    EXPECT_EQ(shot.Rgb(200, 2 * 38 + 2), 0xFFFFFFu);
    // The filled button: its left edge falls between two device pixels.
    const Rect cancel = w.FindControl(L"cancelBtn")->GetPos();
    const int midY = cancel.top + cancel.bottom;  // device row of its middle
    EXPECT_EQ(shot.Rgb(2 * cancel.left + 1, midY), 0x1890FFu);
    EXPECT_EQ(shot.Rgb(2 * cancel.left - 1, midY), 0xFFFFFFu);

    // Text: drawn at device resolution, not a 1x rendering doubled. Doubled text would have
    // every pair of device columns equal; real 2x text differs in many pairs.
    const Rect text = w.FindControl(L"textLbl")->GetPos();
    int dark = 0, unequalPairs = 0;
    for (int y = 2 * text.top; y < 2 * text.bottom; ++y) {
        for (int x = 2 * text.left; x + 1 < 2 * text.right; x += 2) {
            const std::uint32_t a = shot.Rgb(x, y), b = shot.Rgb(x + 1, y);
            if ((a & 0xFF) < 0x80) ++dark;
            if (a != b) ++unequalPairs;
        }
    }
    EXPECT_GT(dark, 100);
    EXPECT_GT(unequalPairs, dark / 2) << "the text looks like a doubled low-resolution rendering";
    w.SendMessage(WM_CLOSE);
}

TEST(HighDensity, PointerCaptionDragAndTextFieldWorkInWindowUnits) {
    DenseWindow w(L"demo.xml");
    ASSERT_TRUE(w.Create(nullptr, L"Quorvex"));
    static_cast<CTabLayoutUI*>(w.FindControl(L"pages"))->SelectItem(1);
    w.CenterWindow();
    ASSERT_TRUE(PumpUntil([&] { return w.Mapped(); }));
    Pump(200);
    Screenshot("dense-demo");

    // Hit testing: the device pixel at the middle of a button is that button.
    Xdo("mousemove " + w.DeviceAt(L"chDirBtn") + " click 1");
    EXPECT_TRUE(PumpUntil([&] { return !w.clicks.empty(); }));
    ASSERT_EQ(w.clicks.size(), 1u);
    EXPECT_EQ(w.clicks[0], L"chDirBtn");

    // The native field lies exactly over the Edit's text area.
    GtkWidget* entry = nullptr;
    gtk_container_forall(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(w.Host().Widget()))),
                         [](GtkWidget* child, gpointer out) {
                             if (GTK_IS_ENTRY(child)) *static_cast<GtkWidget**>(out) = child;
                         },
                         &entry);
    ASSERT_NE(entry, nullptr);
    GtkAllocation a;
    gtk_widget_get_allocation(entry, &a);
    const Rect want = w.FindControl(L"dirEdit")->GetPos().Deflate({10, 0, 10, 0});
    const int m = w.Host().Margin();
    EXPECT_EQ(a.x, want.left + m);
    EXPECT_EQ(a.y, want.top + m);
    EXPECT_EQ(a.width, want.Width());
    EXPECT_EQ(a.height, want.Height());

    // A caption drag of 100 device pixels moves the window 50 units.
    const Rect before = w.Native()->GetRect();
    const int x = 2 * (before.left + 300), y = 2 * (before.top + 15);
    Xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " mousedown 1");
    Pump(100);
    for (int step = 1; step <= 5; ++step) {
        Xdo("mousemove " + std::to_string(x + step * 20) + " " + std::to_string(y + step * 20));
        Pump(40);
    }
    Xdo("mouseup 1");
    EXPECT_TRUE(PumpUntil([&] {
        const Rect now = w.Native()->GetRect();
        return now.left == before.left + 50 && now.top == before.top + 50;
    })) << "window at " << w.Native()->GetRect().left << "," << w.Native()->GetRect().top << " from " << before.left
        << "," << before.top;
    w.SendMessage(WM_CLOSE);
}
