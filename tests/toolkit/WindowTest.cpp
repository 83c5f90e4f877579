// Real windows on a private Xvfb, driven with xdotool like a person would.
#include <gtk/gtk.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <atomic>
#include <thread>
#include <unistd.h>

#include "support/DbusSession.h"
#include "support/TestSkin.h"
#include "support/XvfbDisplay.h"
#include "toolkit/CheckBox.h"
#include "toolkit/Combo.h"
#include "toolkit/Edit.h"
#include "toolkit/GtkHost.h"
#include "toolkit/GtkWindowHost_gtk.h"
#include "toolkit/NativePeer.h"
#include "toolkit/OffscreenRenderer.h"
#include "toolkit/SkinResources.h"
#include "toolkit/TabLayout.h"
#include "toolkit/WindowBase.h"
#include "toolkit/WindowIcon.h"
#include "utils/StringUtils.h"

// After the test framework: Xlib's macros (None, Bool) would break its headers.
#include <gdk/gdkx.h>

using namespace Toolkit;

namespace {

class DisplayEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(XvfbDisplay::Start(&error)) << error;
        // Before GTK starts: its accessibility bridge finds the bus at start-up.
        ASSERT_TRUE(DbusSession::Start(&error)) << error;
        int argc = 0;
        char** argv = nullptr;
        ASSERT_TRUE(InitGtkHost(&argc, &argv));
        const std::string dir = TestSkin::PrivateFolder("qv_window_skin");
        ASSERT_TRUE(TestSkin::WriteFolder(dir));
        ASSERT_TRUE(SkinResources::Instance().OpenZipCopy(TestSkin::MakeZip(dir)));
    }
    void TearDown() override {
        DbusSession::Stop();
        XvfbDisplay::Stop();
    }
};
const auto* g_env = ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

// Pumps the main loop until `done` or the time runs out.
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

std::string Output(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// A square PNG of one colour.
std::vector<unsigned char> SolidPng(int size, double r, double g, double b) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, r, g, b);
    cairo_paint(cr);
    cairo_destroy(cr);
    std::vector<unsigned char> png;
    cairo_surface_write_to_png_stream(
        s,
        [](void* out, const unsigned char* data, unsigned int length) {
            auto* v = static_cast<std::vector<unsigned char>*>(out);
            v->insert(v->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &png);
    cairo_surface_destroy(s);
    return png;
}

void Screenshot(const char* name) {
    if (const char* dir = std::getenv("QV_SCREENSHOT_DIR")) {
        const std::string cmd = std::string("import -window root ") + dir + "/" + name + ".png";
        (void)std::system(cmd.c_str());
    }
}

class TestWindow : public CWindowBase {
public:
    explicit TestWindow(std::wstring file) : file_(std::move(file)) {}
    std::wstring GetWindowClassName() const override { return L"TestWnd"; }
    std::wstring GetSkinFile() override { return file_; }
    void Notify(TNotifyUI& msg) override {
        if (msg.type != L"setfocus" && msg.type != L"killfocus")
            seen.push_back(msg.type + L":" + (msg.sender ? msg.sender->GetName() : L""));
        CWindowBase::Notify(msg);
    }
    bool Saw(const std::wstring& what) const { return std::find(seen.begin(), seen.end(), what) != seen.end(); }
    GtkWindowHost& Host() { return *static_cast<GtkWindowHost*>(Native()); }
    // Screen point at the centre of a control.
    std::string At(const wchar_t* name) {
        PaintManager().UpdateLayout();
        const Rect r = Host().ScreenRectOf(FindControl(name)->GetPos());
        return std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2);
    }
    bool Mapped() { return IsWindow() && gtk_widget_get_mapped(Host().Widget()); }
    std::string Xid() {
        return std::to_string(GDK_WINDOW_XID(gtk_widget_get_window(Host().Widget())));
    }
    // Dark pixels the X server shows inside a control.
    int DarkPixels(const wchar_t* name) {
        PaintManager().UpdateLayout();
        const Rect r = FindControl(name)->GetPos();
        const int m = Host().Margin();
        GdkPixbuf* shot = gdk_pixbuf_get_from_window(gtk_widget_get_window(Host().Widget()), r.left + m, r.top + m,
                                                     r.Width(), r.Height());
        if (!shot) return -1;
        int dark = 0;
        const int n = gdk_pixbuf_get_n_channels(shot), stride = gdk_pixbuf_get_rowstride(shot);
        const guchar* px = gdk_pixbuf_read_pixels(shot);
        for (int y = 0; y < r.Height(); ++y)
            for (int x = 0; x < r.Width(); ++x)
                if (px[y * stride + x * n] < 0x80) ++dark;
        g_object_unref(shot);
        return dark;
    }
    std::vector<std::wstring> seen;

private:
    std::wstring file_;
};

}  // namespace

TEST(Window_Mouse, ClickingAButtonRaisesClick) {
    TestWindow w(L"box.xml");
    ASSERT_TRUE(w.Create(nullptr, L"Quorvex"));
    w.CenterWindow();
    ASSERT_TRUE(PumpUntil([&] { return w.Mapped(); }));
    Pump(100);
    Xdo("mousemove " + w.At(L"okBtn"));
    Pump(50);
    Xdo("click 1");
    EXPECT_TRUE(PumpUntil([&] { return w.Saw(L"click:okBtn"); })) << "no click reached the window";
    Screenshot("box");
    w.SendMessage(WM_CLOSE);
}

TEST(Window_Mouse, DraggingTheCaptionMovesTheWindow) {
    TestWindow w(L"demo.xml");
    ASSERT_TRUE(w.Create(nullptr, L"Quorvex"));
    w.CenterWindow();
    ASSERT_TRUE(PumpUntil([&] { return w.Mapped(); }));
    Pump(100);
    const Rect before = w.Native()->GetRect();
    const int x = before.left + 300, y = before.top + 15;  // the title row's empty middle
    Xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " mousedown 1");
    Pump(100);
    for (int step = 1; step <= 5; ++step) {
        Xdo("mousemove " + std::to_string(x + step * 20) + " " + std::to_string(y + step * 10));
        Pump(40);
    }
    Xdo("mouseup 1");
    EXPECT_TRUE(PumpUntil([&] {
        const Rect now = w.Native()->GetRect();
        return now.left == before.left + 100 && now.top == before.top + 50;
    })) << "window did not follow the drag";
    EXPECT_TRUE(w.seen.empty());  // a drag is no click
    w.SendMessage(WM_CLOSE);
}

TEST(Window_Modal, BoxClosedByItsButtonReturnsItsResult) {
    TestWindow owner(L"demo.xml");
    ASSERT_TRUE(owner.Create(nullptr, L"Quorvex"));
    owner.CenterWindow();
    ASSERT_TRUE(PumpUntil([&] { return owner.Mapped(); }));
    TestWindow box(L"box.xml");
    ASSERT_TRUE(box.Create(&owner, L"消息框"));
    box.CenterWindow();
    struct User {
        TestWindow* owner;
        TestWindow* box;
        bool ownerWasInsensitive = false;
        bool clicked = false;
    } user{&owner, &box};
    guint source = g_timeout_add(300, [](gpointer data) -> gboolean {
        auto* u = static_cast<User*>(data);
        if (!u->box->Mapped()) return G_SOURCE_CONTINUE;
        u->ownerWasInsensitive = !gtk_widget_is_sensitive(u->owner->Host().Widget());
        Screenshot("modal");
        Xdo("mousemove " + u->box->At(L"closebtn") + " click 1");
        u->clicked = true;
        return G_SOURCE_REMOVE;
    }, &user);
    const int result = box.ShowModal();
    if (!user.clicked) g_source_remove(source);
    EXPECT_TRUE(user.clicked);
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(user.ownerWasInsensitive);
    EXPECT_TRUE(gtk_widget_is_sensitive(owner.Host().Widget()));
    owner.SendMessage(WM_CLOSE);
}

TEST(Window_Edit, TypingChangesTheEditText) {
    TestWindow w(L"demo.xml");
    ASSERT_TRUE(w.Create(nullptr, L"Quorvex"));
    static_cast<CTabLayoutUI*>(w.FindControl(L"pages"))->SelectItem(1);
    w.CenterWindow();
    ASSERT_TRUE(PumpUntil([&] { return w.Mapped(); }));
    Pump(100);
    auto* edit = static_cast<CEditUI*>(w.FindControl(L"dirEdit"));
    Xdo("mousemove " + w.At(L"dirEdit") + " click 1");
    ASSERT_TRUE(PumpUntil([&] { return w.PaintManager().GetFocus() == edit; }));
    Xdo("key ctrl+a BackSpace");
    Xdo("type --delay 20 /srv/apps");
    EXPECT_TRUE(PumpUntil([&] { return edit->GetText() == L"/srv/apps"; }))
        << "edit holds '" << Utils::ToUtf8(edit->GetText()) << "'";
    EXPECT_TRUE(w.Saw(L"textchanged:dirEdit"));
    Screenshot("edit");
    // Code setting the text reaches the native field without raising "textchanged".
    w.seen.clear();
    edit->SetText(L"/opt/Pelmora");
    Pump(50);
    EXPECT_TRUE(w.seen.empty());
    // Tab leaves the field for the next control, which the keyboard can then press.
    Xdo("key Tab");
    EXPECT_TRUE(PumpUntil([&] { return w.PaintManager().GetFocus() == w.FindControl(L"chDirBtn"); }));
    Xdo("key Return");
    EXPECT_TRUE(PumpUntil([&] { return w.Saw(L"click:chDirBtn"); }));
    w.SendMessage(WM_CLOSE);
}

// Shows the demo window and opens its language combo's list with a click.
void OpenLanguageList(TestWindow& w, CComboUI*& combo) {
    ASSERT_TRUE(w.Create(nullptr, L"Quorvex"));
    w.CenterWindow();
    ASSERT_TRUE(PumpUntil([&] { return w.Mapped(); }));
    Pump(100);
    combo = static_cast<CComboUI*>(w.FindControl(L"langCombo"));
    ASSERT_NE(combo, nullptr);
    Xdo("mousemove " + w.At(L"langCombo") + " click 1");
    ASSERT_TRUE(PumpUntil([&] { return combo->IsDropDownOpen(); }));
}

TEST(Window_Combo, DropUpListOpensAboveAndPicksAnItem) {
    TestWindow w(L"demo.xml");
    CComboUI* combo = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenLanguageList(w, combo));
    GtkWidget* popup = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        GList* all = gtk_window_list_toplevels();
        for (GList* l = all; l; l = l->next)
            if (gtk_window_get_window_type(GTK_WINDOW(l->data)) == GTK_WINDOW_POPUP &&
                gtk_widget_get_mapped(GTK_WIDGET(l->data)))
                popup = GTK_WIDGET(l->data);
        g_list_free(all);
        return popup != nullptr;
    }));
    Pump(100);
    int px = 0, py = 0;
    gdk_window_get_origin(gtk_widget_get_window(popup), &px, &py);
    const Rect box = w.Host().ScreenRectOf(combo->GetPos());
    const int height = gtk_widget_get_allocated_height(popup);
    EXPECT_EQ(py + height, box.top) << "the list should end where the box begins";
    Screenshot("combo");
    const int itemY = py + 1 + combo->GetItemHeight() + combo->GetItemHeight() / 2;
    Xdo("mousemove " + std::to_string(px + 20) + " " + std::to_string(itemY) + " click 1");
    EXPECT_TRUE(PumpUntil([&] { return w.Saw(L"itemselect:langCombo"); }));
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_FALSE(combo->IsDropDownOpen());
    w.SendMessage(WM_CLOSE);
}

// A combo taken out of the window while its list is open: the list closes with it and the
// window goes on (the combo's list part is gone by the time the host hears of it).
TEST(Window_Combo, RemovingTheComboWithItsListOpenClosesTheList) {
    TestWindow w(L"demo.xml");
    CComboUI* combo = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenLanguageList(w, combo));
    auto* parent = dynamic_cast<CContainerUI*>(combo->GetParent());
    ASSERT_NE(parent, nullptr);
    ASSERT_TRUE(parent->Remove(combo));
    Pump(100);
    EXPECT_EQ(w.FindControl(L"langCombo"), nullptr);
    w.SendMessage(WM_CLOSE);
}

TEST(Window_Keyboard, EscapeReachesTheFilterAndAltF4ClosesWithZero) {
    struct Filtering : TestWindow {
        using TestWindow::TestWindow;
        int escapes = 0;
        std::intptr_t MessageHandler(std::uint32_t msg, std::uintptr_t w, std::intptr_t, bool& handled) override {
            if (msg == WM_KEYDOWN && w == Key::Escape) {
                ++escapes;
                handled = true;
            }
            return 0;
        }
    } w(L"box.xml");
    ASSERT_TRUE(w.Create(nullptr, L"Quorvex"));
    w.CenterWindow();
    g_timeout_add(300, [](gpointer data) -> gboolean {
        auto* win = static_cast<Filtering*>(data);
        if (!win->Mapped()) return G_SOURCE_CONTINUE;
        Xdo("mousemove " + win->At(L"textLbl") + " key Escape Tab");
        return G_SOURCE_REMOVE;
    }, &w);
    g_timeout_add(900, [](gpointer data) -> gboolean {
        Xdo("key alt+F4");
        (void)data;
        return G_SOURCE_REMOVE;
    }, nullptr);
    EXPECT_EQ(w.ShowModal(), 0);
    EXPECT_EQ(w.escapes, 1);
}

TEST(Window_LoadFailure, WithoutADisplayTheMessageGoesToStandardError) {
    const std::string cmd = std::string("env -u DISPLAY -u WAYLAND_DISPLAY ") + QV_LOADFAIL_PROGRAM + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[256];
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    const int status = pclose(p);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(out.find("SkinUI: 加载资源文件失败：MissingWnd.xml"), std::string::npos) << out;
}

TEST(Window_LoadFailure, WithADisplayAMessageBoxIsShownFirst) {
    const std::string cmd = std::string(QV_LOADFAIL_PROGRAM) + " 2>/dev/null & pid=$!; "
                            "for i in $(seq 100); do xdotool search --name '^SkinUI$' >/dev/null 2>&1 && break; sleep 0.1; done; "
                            "w=$(xdotool search --name '^SkinUI$' | head -1); [ -n \"$w\" ] || { kill $pid; exit 90; }; "
                            "xdotool windowfocus --sync $w key Return; wait $pid";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "90 means no message box appeared";
}

TEST(Window_Icon, EveryWindowCarriesTheIconAndTheClass) {
    TestWindow early(L"box.xml");
    ASSERT_TRUE(early.Create(nullptr, L"Quorvex"));
    ASSERT_TRUE(PumpUntil([&] { return early.Mapped(); }));
    SetWindowIconImages({SolidPng(16, 0.1, 0.5, 0.9), SolidPng(32, 0.1, 0.5, 0.9)});
    TestWindow later(L"box.xml");
    ASSERT_TRUE(later.Create(&early, L"Quorvex"));
    ASSERT_TRUE(PumpUntil([&] { return later.Mapped(); }));
    Pump(100);
    for (TestWindow* w : {&early, &later}) {
        const std::string icon = Output("xprop -id " + w->Xid() + " _NET_WM_ICON WM_CLASS");
        EXPECT_NE(icon.find("Icon (16 x 16)"), std::string::npos) << icon.substr(0, 300);
        EXPECT_NE(icon.find("Icon (32 x 32)"), std::string::npos) << icon.substr(0, 300);
        EXPECT_NE(icon.find("WM_CLASS(STRING) = \"quorvex-installer\", \"quorvex-installer\""), std::string::npos);
    }
    later.SendMessage(WM_CLOSE);
    early.SendMessage(WM_CLOSE);
    SetWindowIconImages({});
}

void WindowManagerSays(TestWindow& w, GdkWindowState state) {
    GdkEvent* e = gdk_event_new(GDK_WINDOW_STATE);
    e->window_state.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(w.Host().Widget())));
    e->window_state.changed_mask = GDK_WINDOW_STATE_MAXIMIZED;
    e->window_state.new_window_state = state;
    gdk_event_put(e);
    gdk_event_free(e);
}

TEST(Window_State, MaximiseButtonsFollowTheWindowManagersAnswer) {
    TestWindow w(L"refresh.xml");
    ASSERT_TRUE(w.Create(nullptr, L"Quorvex"));
    w.CenterWindow();
    ASSERT_TRUE(PumpUntil([&] { return w.Mapped(); }));
    Pump(100);
    Xdo("mousemove " + w.At(L"maxbtn") + " click 1");
    ASSERT_TRUE(PumpUntil([&] { return w.Saw(L"click:maxbtn"); }));
    Pump(100);
    // The request is answered later, by the window manager (Xvfb has none: the test answers in
    // its place with the window-state event GDK would deliver).
    EXPECT_TRUE(w.FindControl(L"maxbtn")->IsVisible());
    WindowManagerSays(w, GDK_WINDOW_STATE_MAXIMIZED);
    EXPECT_TRUE(PumpUntil([&] { return w.FindControl(L"restorebtn")->IsVisible(); }));
    EXPECT_FALSE(w.FindControl(L"maxbtn")->IsVisible());
    WindowManagerSays(w, GdkWindowState(0));
    EXPECT_TRUE(PumpUntil([&] { return w.FindControl(L"maxbtn")->IsVisible(); }));
    EXPECT_FALSE(w.FindControl(L"restorebtn")->IsVisible());
    w.SendMessage(WM_CLOSE);
}

TEST(Window_Refresh, TwoOpenWindowsShowTheNewTextsAfterARefresh) {
    static std::map<std::wstring, std::wstring> texts;
    texts = {{L"IDTitle", L"."}, {L"IDOk", L"OK"}, {L"IDAgree", L"Agree"}};
    SetTextProvider([](const std::wstring& id) {
        auto it = texts.find(id);
        return it == texts.end() ? id : it->second;
    });
    TestWindow a(L"refresh.xml"), b(L"refresh.xml");
    ASSERT_TRUE(a.Create(nullptr, L"a"));
    ASSERT_TRUE(b.Create(&a, L"b"));
    a.Native()->Move(100, 100);
    b.Native()->Move(600, 300);
    ASSERT_TRUE(PumpUntil([&] { return a.Mapped() && b.Mapped(); }));
    Pump(200);
    const int beforeA = a.DarkPixels(L"titleLbl"), beforeB = b.DarkPixels(L"titleLbl");
    ASSERT_GE(beforeA, 0);
    texts[L"IDTitle"] = L"歡迎使用 Quorvex 安裝程式";
    Pump(200);
    EXPECT_EQ(a.DarkPixels(L"titleLbl"), beforeA);  // nothing redraws on its own
    CWindowBase::RefreshAllWindows();
    EXPECT_TRUE(PumpUntil([&] {
        return a.DarkPixels(L"titleLbl") > beforeA + 100 && b.DarkPixels(L"titleLbl") > beforeB + 100;
    })) << "the windows still show the old text";
    Screenshot("refresh");
    b.SendMessage(WM_CLOSE);
    a.SendMessage(WM_CLOSE);
    SetTextProvider(nullptr);
}

TEST(Window_Paint, TheScreenShowsWhatTheOffscreenRendererDraws) {
    TestWindow w(L"box.xml");
    ASSERT_TRUE(w.Create(nullptr, L"Quorvex"));
    w.CenterWindow();
    Xdo("mousemove 0 0");  // no hot control
    ASSERT_TRUE(PumpUntil([&] { return w.Mapped(); }));
    Pump(200);
    const Size size = w.PaintManager().GetClientSize();
    const int m = w.Host().Margin();
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(gtk_widget_get_window(w.Host().Widget()), m, m, size.cx, size.cy);
    ASSERT_NE(shot, nullptr);
    SurfacePtr offscreen = RenderWindow(w.PaintManager(), OffscreenOptions{});
    ASSERT_NE(offscreen, nullptr);
    cairo_surface_flush(offscreen.get());
    const unsigned char* data = cairo_image_surface_get_data(offscreen.get());
    const int stride = cairo_image_surface_get_stride(offscreen.get());
    const int n = gdk_pixbuf_get_n_channels(shot), rowstride = gdk_pixbuf_get_rowstride(shot);
    const guchar* px = gdk_pixbuf_read_pixels(shot);
    int differing = 0, compared = 0;
    for (int y = 4; y < size.cy - 4; ++y) {
        for (int x = 4; x < size.cx - 4; ++x) {
            const std::uint32_t o = reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
            const int alpha = o >> 24;
            for (int c = 0; c < 3; ++c) {
                // The offscreen pixel over white (the window without a compositor is opaque).
                const int channel = (o >> (16 - 8 * c)) & 0xFF;
                const int expected = channel + (255 - alpha);
                if (std::abs(expected - px[y * rowstride + x * n + c]) > 24) {
                    ++differing;
                    break;
                }
            }
            ++compared;
        }
    }
    g_object_unref(shot);
    EXPECT_LT(differing, compared / 500) << differing << " of " << compared << " pixels differ";
    w.SendMessage(WM_CLOSE);
}

TEST(Window_Peers, AControlOfTheWindowsOwnGetsANativeTextField) {
    // Not an Edit: any control offering a text peer gets a real entry over it.
    struct NoteField : CControlUI, ITextPeer {
        std::wstring text = L"note";
        ITextPeer* TextPeer() override { return this; }
        bool IsFocusable() const override { return true; }
        Rect PeerRect() const override { return GetPos().Deflate({4, 4, 4, 4}); }
        std::wstring PeerText() const override { return text; }
        FontInfo PeerFont() const override { return FontInfo{L"", 14}; }
        Color PeerTextColor() const override { return 0xFF000000; }
        int PeerMaxChars() const override { return 0; }
        bool PeerPassword() const override { return false; }
        bool PeerReadOnly() const override { return false; }
        void PeerTextEdited(const std::wstring& t) override { text = t; }
        void PeerAttached(bool) override {}
    };
    struct NoteWindow : TestWindow {
        using TestWindow::TestWindow;
        std::unique_ptr<CControlUI> CreateControl(const std::wstring& name) override {
            return name == L"NoteField" ? std::make_unique<NoteField>() : nullptr;
        }
    } w(L"note.xml");
    ASSERT_TRUE(w.Create(nullptr, L"Quorvex"));
    w.CenterWindow();
    ASSERT_TRUE(PumpUntil([&] { return w.Mapped(); }));
    Pump(100);
    auto* note = static_cast<NoteField*>(w.FindControl(L"note"));
    Xdo("mousemove " + w.At(L"note") + " click 1");
    Xdo("key ctrl+a BackSpace");
    Xdo("type --delay 20 typed");
    EXPECT_TRUE(PumpUntil([&] { return note->text == L"typed"; })) << Utils::ToUtf8(note->text);
    note->text = L"set by code";
    w.PaintManager().GetHost()->PeerChanged(note);
    GtkWidget* entry = gtk_window_get_focus(GTK_WINDOW(w.Host().Widget()));
    ASSERT_TRUE(entry && GTK_IS_ENTRY(entry));
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry)), "set by code");
    w.SendMessage(WM_CLOSE);
}

TEST(Window_Access, AScreenReaderSeesTheControlsAndClicksAButton) {
    static std::map<std::wstring, std::wstring> texts;
    texts = {{L"IDTitle", L"Welcome"}, {L"IDOk", L"OK"}, {L"IDAgree", L"I agree"}, {L"IDClose", L"Close"}};
    SetTextProvider([](const std::wstring& id) {
        auto it = texts.find(id);
        return it == texts.end() ? id : it->second;
    });
    TestWindow w(L"refresh.xml");
    ASSERT_TRUE(w.Create(nullptr, L"Quorvex access"));
    static_cast<CCheckBoxUI*>(w.FindControl(L"agreeCb"))->Selected(true, false);
    w.FindControl(L"restorebtn")->SetVisible(false);
    w.CenterWindow();
    ASSERT_TRUE(PumpUntil([&] { return w.Mapped(); }));
    Pump(200);
    // The probe blocks on the registry while this thread answers for the window.
    std::atomic<bool> done{false};
    std::string out;
    std::thread probe([&] {
        out = Output(std::string("/usr/bin/python3 ") + QV_ATSPI_PROBE + " " + std::to_string(getpid()) +
                     " 'Quorvex access' OK 2>&1");
        done = true;
    });
    const bool finished = PumpUntil([&] { return done.load(); }, 60000);
    probe.join();
    ASSERT_TRUE(finished);
    if (std::getenv("QV_SHOW_ACCESS_TREE")) std::fprintf(stderr, "%s", out.c_str());
    // The layouts only group and the spacer draws nothing: none of them is listed, so the
    // controls sit right below the window.
    EXPECT_EQ(out.find("|panel|"), std::string::npos) << out;
    EXPECT_EQ(out.find("|filler|"), std::string::npos) << out;
    EXPECT_NE(out.find("\n1|label|Welcome|"), std::string::npos) << out;
    EXPECT_NE(out.find("|push button|Maximise|"), std::string::npos) << out;  // no text: its tooltip
    EXPECT_NE(out.find("|push button|Close|"), std::string::npos) << out;     // its tooltip's text
    EXPECT_EQ(out.find("|push button||"), std::string::npos) << out;
    EXPECT_NE(out.find("|push button|OK|enabled,focusable,sensitive,showing,visible"), std::string::npos) << out;
    EXPECT_NE(out.find("|check box|I agree|checkable,checked,enabled,focusable,sensitive,showing,visible"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("|progress bar||enabled,sensitive,showing,visible|0..100:42"), std::string::npos) << out;
    EXPECT_NE(out.find("clicked"), std::string::npos) << out;
    EXPECT_TRUE(PumpUntil([&] { return w.Saw(L"click:okBtn"); })) << "the click did not reach the window";
    w.SendMessage(WM_CLOSE);
    SetTextProvider(nullptr);
}
