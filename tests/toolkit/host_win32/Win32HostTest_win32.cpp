// The Win32 window host with real windows (under wine on the test display), driven with window
// messages as the system would deliver them.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <cairo.h>

#include "toolkit/Combo.h"
#include "toolkit/Platform.h"
#include "toolkit/SkinResources.h"
#include "toolkit/Win32Host.h"
#include "toolkit/Win32WindowHost_win32.h"
#include "toolkit/WindowBase.h"

#include "utils/WindowsApi_win32.h"

#include "tests/toolkit/support/Win32WindowTestSupport_win32.h"

using namespace Toolkit;

namespace {

const char kLayout[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="240,200" caption="0,0,0,30" roundcorner="12,12" showshadow="true" shadowsize="6" shadowsharpness="10" shadowdarkness="60" shadowposition="1,1" shadowcolor="#40000000">
  <VerticalLayout name="root" bkcolor="#FF3366CC">
    <HorizontalLayout height="30">
      <Control/>
      <Button name="closebtn" width="24" height="24" bkcolor="#FF00FF00"/>
    </HorizontalLayout>
    <Button name="okbtn" height="40" bkcolor="#FFFF0000"/>
    <Edit name="dirEdit" height="30" textcolor="#FF333333" text="C:\Pelmora" textpadding="10,0,10,0" bkcolor="#FFFFFFFF"/>
    <Combo name="langCombo" height="30" textcolor="#FF333333" bkcolor="#FFFFFFFF" textpadding="10,0,28,0" itemtextpadding="10,0,10,0">
      <ListLabelElement text="English" selected="true"/>
      <ListLabelElement text="Deutsch"/>
    </Combo>
  </VerticalLayout>
</Window>
)";

const auto* g_env =
    ::testing::AddGlobalTestEnvironment(new win32test::WindowEnvironment("host.xml", kLayout));

using win32test::Pump;
using win32test::PumpUntil;

class TestWindow : public CWindowBase {
public:
    std::wstring GetWindowClassName() const override { return L"HostTestWnd"; }
    std::wstring GetSkinFile() override { return L"host.xml"; }
    void Notify(TNotifyUI& msg) override {
        seen.push_back(msg.type + L":" + (msg.sender ? msg.sender->GetName() : L""));
        CWindowBase::Notify(msg);
    }
    bool Saw(const std::wstring& what) const { return std::find(seen.begin(), seen.end(), what) != seen.end(); }
    Win32WindowHost& Host() { return *static_cast<Win32WindowHost*>(Native()); }
    HWND Hwnd() { return Host().Handle(); }
    int Px(double units) { return static_cast<int>(std::lround(units * Host().Scale())); }
    // Window-relative pixel position of a client point (the window has no native frame).
    LPARAM At(Point client) { return MAKELPARAM(Px(Host().Margin() + client.x), Px(Host().Margin() + client.y)); }
    Point Centre(const wchar_t* name) {
        PaintManager().UpdateLayout();
        const Rect r = FindControl(name)->GetPos();
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void Click(const wchar_t* name) {
        const LPARAM at = At(Centre(name));
        ASSERT_TRUE(PostMessageW(Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at));
        ASSERT_TRUE(PostMessageW(Hwnd(), WM_LBUTTONUP, 0, at));
    }
    // The system's hit test at a client point.
    LRESULT HitTest(Point client) {
        RECT wr;
        GetWindowRect(Hwnd(), &wr);
        const int x = wr.left + Px(Host().Margin() + client.x), y = wr.top + Px(Host().Margin() + client.y);
        return SendMessageW(Hwnd(), WM_NCHITTEST, 0, MAKELPARAM(x, y));
    }
    std::intptr_t MessageHandler(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t, bool& handled) override {
        if (msg == WM_KEYDOWN && wParam == Key::Return) filteredReturns++;
        if (msg == WM_KEYDOWN && wParam == Key::Escape) {
            filteredEscapes++;
            handled = true;
        }
        return 0;
    }
    std::vector<std::wstring> seen;
    int filteredReturns = 0;
    int filteredEscapes = 0;
};

// A square PNG of one colour.
std::vector<unsigned char> SolidPng(int size) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 0.2, 0.4, 0.8);
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

// This thread's windows of a class that `owner` owns.
std::vector<HWND> OwnedWindows(HWND owner, const wchar_t* className) {
    struct Search {
        HWND owner;
        const wchar_t* className;
        std::vector<HWND> found;
    } search{owner, className, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM p) CALLBACK -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            wchar_t name[64] = {};
            if (GetClassNameW(hwnd, name, 64) && std::wstring(name) == s->className && GetWindow(hwnd, GW_OWNER) == s->owner)
                s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring TextOf(HWND hwnd) {
    wchar_t buf[256] = {};
    GetWindowTextW(hwnd, buf, 256);
    return buf;
}

// The desktop's blending as a test needs it, put back afterwards: wine on a plain X server does
// not blend, Windows does.
class DesktopComposing {
public:
    explicit DesktopComposing(bool composes) : was_(Toolkit::DesktopComposes()) { Toolkit::SetDesktopComposes(composes); }
    ~DesktopComposing() { Toolkit::SetDesktopComposes(was_); }
    DesktopComposing(const DesktopComposing&) = delete;
    DesktopComposing& operator=(const DesktopComposing&) = delete;

private:
    bool was_;
};

TEST(Win32HostTest, PostedWorkRunsInOrderAndTimersTickOnTheUserInterfaceThread) {
    IScheduler& scheduler = GetPlatform()->Scheduler();
    const DWORD ui = GetCurrentThreadId();
    std::vector<int> order;
    std::vector<DWORD> threads;
    std::thread worker([&] {
        for (int i = 0; i < 5; ++i)
            scheduler.Post([&, i] {
                order.push_back(i);
                threads.push_back(GetCurrentThreadId());
            });
    });
    worker.join();
    int ticks = 0;
    std::uintptr_t timer = 0;
    timer = scheduler.StartTimer(15, [&] {
        threads.push_back(GetCurrentThreadId());
        if (++ticks == 3) scheduler.StopTimer(timer);  // a timer may stop itself while it runs
    });
    EXPECT_NE(timer, 0u);
    ASSERT_TRUE(PumpUntil([&] { return order.size() == 5 && ticks == 3; }));
    Pump(100);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    for (DWORD t : threads) EXPECT_EQ(t, ui);
    scheduler.StopTimer(timer);  // stopping again does nothing
}

TEST(Win32HostTest, ClicksReachTheButtonsClickNotification) {
    TestWindow w;
    ASSERT_TRUE(w.Create(nullptr, L"Host test"));
    w.CenterWindow();
    ASSERT_TRUE(IsWindowVisible(w.Hwnd()));
    w.Click(L"okbtn");
    ASSERT_TRUE(PumpUntil([&] { return w.Saw(L"click:okbtn"); }));
    EXPECT_TRUE(w.IsWindow());
    wchar_t name[64] = {};
    ASSERT_TRUE(GetClassNameW(w.Hwnd(), name, 64));
    EXPECT_STREQ(name, L"HostTestWnd");  // the window's own class name
}

TEST(Win32HostTest, HitTestDragsByTheCaptionBackgroundOnly) {
    DesktopComposing composing(true);
    TestWindow w;
    ASSERT_TRUE(w.Create(nullptr, L"Host test"));
    EXPECT_EQ(w.HitTest({5, 5}), HTCAPTION);
    EXPECT_EQ(w.HitTest(w.Centre(L"closebtn")), HTCLIENT);
    EXPECT_EQ(w.HitTest(w.Centre(L"okbtn")), HTCLIENT);
    ASSERT_GT(w.Host().Margin(), 2);
    EXPECT_EQ(w.HitTest({-2, -2}), HTTRANSPARENT);  // the shadow lets clicks through
}

TEST(Win32HostTest, ModalRunsEndWithTheirCloseRequest) {
    {
        TestWindow box;
        ASSERT_TRUE(box.Create(nullptr, L"Box"));
        box.Click(L"closebtn");
        EXPECT_EQ(box.ShowModal(), 1);
        EXPECT_FALSE(box.IsWindow());
    }
    {
        // The system's close command (Alt+F4, the taskbar) sends WM_CLOSE directly: 0.
        TestWindow box;
        ASSERT_TRUE(box.Create(nullptr, L"Box"));
        ASSERT_TRUE(PostMessageW(box.Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0));
        EXPECT_EQ(box.ShowModal(), 0);
        EXPECT_FALSE(box.IsWindow());
    }
    {
        // A worker's close request reaches the modal loop.
        TestWindow box;
        ASSERT_TRUE(box.Create(nullptr, L"Box"));
        std::thread worker([&] {
            Sleep(50);
            box.Close(5);
        });
        EXPECT_EQ(box.ShowModal(), 5);
        worker.join();
    }
}

TEST(Win32HostTest, ModalBoxDisablesItsOwnerUntilItCloses) {
    TestWindow owner, box;
    ASSERT_TRUE(owner.Create(nullptr, L"Owner"));
    ASSERT_TRUE(box.Create(&owner, L"Box"));
    EXPECT_EQ(GetWindow(box.Hwnd(), GW_OWNER), owner.Hwnd());
    bool ownerEnabledDuring = true;
    GetPlatform()->Scheduler().Post([&] {
        ownerEnabledDuring = IsWindowEnabled(owner.Hwnd()) != 0;
        box.Close(2);
    });
    EXPECT_EQ(box.ShowModal(), 2);
    EXPECT_FALSE(ownerEnabledDuring);
    EXPECT_TRUE(IsWindowEnabled(owner.Hwnd()));
    EXPECT_TRUE(owner.IsWindow());
}

TEST(Win32HostTest, TheBitmapHoldsThePaintedWindowShadowAndRoundedCorners) {
    DesktopComposing composing(true);
    TestWindow w;
    ASSERT_TRUE(w.Create(nullptr, L"Host test"));
    w.Host().PaintNow();
    int width = 0, height = 0;
    const unsigned char* px = w.Host().Pixels(&width, &height);
    ASSERT_NE(px, nullptr);
    const int m = w.Host().Margin();
    EXPECT_EQ(width, w.Px(240 + 2 * m));
    EXPECT_EQ(height, w.Px(200 + 2 * m));
    // BGRA, premultiplied, of a client point.
    const auto at = [&](Point p) {
        const double scale = w.Host().Scale();
        const int x = static_cast<int>(std::floor((m + p.x + 0.5) * scale));
        const int y = static_cast<int>(std::floor((m + p.y + 0.5) * scale));
        return px + (static_cast<size_t>(y) * width + x) * 4;
    };
    const unsigned char* caption = at({60, 10});
    EXPECT_EQ(caption[3], 255);
    EXPECT_EQ(caption[2], 0x33);
    EXPECT_EQ(caption[1], 0x66);
    EXPECT_EQ(caption[0], 0xCC);
    const unsigned char* ok = at(w.Centre(L"okbtn"));
    EXPECT_EQ(ok[2], 255);
    EXPECT_EQ(ok[1], 0);
    EXPECT_EQ(ok[3], 255);
    EXPECT_LT(at({0, 0})[3], 255);  // the rounded corner lets the desktop through
    EXPECT_GT(at({-1, 100})[3], 0);  // the shadow beside the window...
    EXPECT_LT(at({-1, 100})[3], 255);
    EXPECT_EQ(px[3], 0);  // ...fades out before the bitmap's corner
}

// Where nothing blends the shadow's half-transparent pixels they would show as a dark frame: the
// window then has no margin and a thin outline sets it apart from what lies behind it.
TEST(Win32HostTest, WithoutBlendingTheWindowIsOutlinedInsteadOfShadowed) {
    DesktopComposing composing(false);
    TestWindow w;
    ASSERT_TRUE(w.Create(nullptr, L"Host test"));
    EXPECT_EQ(w.Host().Margin(), 0);
    w.Host().PaintNow();
    int width = 0, height = 0;
    const unsigned char* px = w.Host().Pixels(&width, &height);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(width, w.Px(240));
    EXPECT_EQ(height, w.Px(200));
    const auto pixel = [&](int x, int y) { return px + (static_cast<size_t>(y) * width + x) * 4; };
    // BGRA: the outline's grey along the top (over the caption) and the left edge, opaque.
    for (const unsigned char* edge : {pixel(w.Px(60), 0), pixel(0, height / 2), pixel(width - 1, height / 2)}) {
        EXPECT_EQ(edge[3], 255);
        EXPECT_EQ(edge[2], 0xC4);
        EXPECT_EQ(edge[1], 0xCC);
        EXPECT_EQ(edge[0], 0xD6);
    }
    const unsigned char* inside = pixel(w.Px(60), w.Px(10));
    EXPECT_EQ(inside[2], 0x33);  // the caption, untouched
    // Square corners: nothing blends a rounded corner's partly covered pixels, which would show dark.
    EXPECT_EQ(pixel(0, 0)[3], 255);
    EXPECT_EQ(pixel(0, 0)[2], 0xC4);
}

// What the screen shows after a change to one control: only that control's pixels go to the
// system (the rest of the window is not copied again), and they do arrive.
TEST(Win32HostTest, AChangedControlReachesTheScreenAndTheRestStays) {
    TestWindow w;
    ASSERT_TRUE(w.Create(nullptr, L"Host test"));
    w.CenterWindow();
    w.ShowWindow(true, false);
    w.Host().PaintNow();
    Pump(300);
    RECT wr;
    ASSERT_TRUE(GetWindowRect(w.Hwnd(), &wr));
    const auto screen = [&](Point client) {
        HDC dc = GetDC(nullptr);
        const COLORREF c = GetPixel(dc, wr.left + w.Px(w.Host().Margin() + client.x), wr.top + w.Px(w.Host().Margin() + client.y));
        ReleaseDC(nullptr, dc);
        return c;
    };
    const Point ok = w.Centre(L"okbtn"), caption{60, 10};
    ASSERT_TRUE(PumpUntil([&] { return screen(ok) == RGB(255, 0, 0); })) << std::hex << screen(ok);
    EXPECT_EQ(screen(caption), RGB(0x33, 0x66, 0xCC));
    w.FindControl(L"okbtn")->SetBkColor(0xFF00FF00);
    w.Host().PaintNow();
    EXPECT_TRUE(PumpUntil([&] { return screen(ok) == RGB(0, 255, 0); })) << std::hex << screen(ok);
    EXPECT_EQ(screen(caption), RGB(0x33, 0x66, 0xCC));
    w.Close(0);
    Pump(100);
}

// Where the desktop composes nothing the window is an ordinary one (a layered window would cost a
// whole-window transfer per animation frame there): what another window covered comes back from
// the kept bitmap, without a repaint by the toolkit.
TEST(Win32HostTest, WithoutBlendingAnUncoveredWindowShowsItsPixelsAgain) {
    {
        DesktopComposing composing(true);
        TestWindow layered;
        ASSERT_TRUE(layered.Create(nullptr, L"Host test"));
        EXPECT_NE(GetWindowLongPtrW(layered.Hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
        layered.Close(0);
        Pump(100);
    }
    DesktopComposing composing(false);
    TestWindow w;
    ASSERT_TRUE(w.Create(nullptr, L"Host test"));
    EXPECT_EQ(GetWindowLongPtrW(w.Hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    w.CenterWindow();
    w.ShowWindow(true, false);
    w.Host().PaintNow();
    Pump(300);
    RECT wr;
    ASSERT_TRUE(GetWindowRect(w.Hwnd(), &wr));
    EXPECT_EQ(wr.right - wr.left, w.Px(240));  // the window follows its bitmap's size
    const Point ok = w.Centre(L"okbtn");
    const auto screen = [&] {
        HDC dc = GetDC(nullptr);
        const COLORREF c = GetPixel(dc, wr.left + w.Px(ok.x), wr.top + w.Px(ok.y));
        ReleaseDC(nullptr, dc);
        return c;
    };
    ASSERT_TRUE(PumpUntil([&] { return screen() == RGB(255, 0, 0); })) << std::hex << screen();
    // A plain black window over ours (the system erases it with its class brush), then gone.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"QuorvexTestCover";
    ASSERT_TRUE(RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS);
    HWND cover = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE,
                                 wr.left, wr.top, wr.right - wr.left, wr.bottom - wr.top, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(cover, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return screen() == RGB(0, 0, 0); })) << std::hex << screen();
    ASSERT_TRUE(DestroyWindow(cover));
    EXPECT_TRUE(PumpUntil([&] { return screen() == RGB(255, 0, 0); })) << std::hex << screen();
    w.Close(0);
    Pump(100);
}

// The window's one text field once it shows: its pop-up frame and the EDIT inside.
void FindTheField(TestWindow& w, HWND& frame, HWND& edit) {
    std::vector<HWND> frames;
    ASSERT_TRUE(PumpUntil([&] {
        frames = OwnedWindows(w.Hwnd(), L"QuorvexTextField");
        return frames.size() == 1 && IsWindowVisible(frames[0]);
    }));
    frame = frames[0];
    edit = FindWindowExW(frame, nullptr, L"EDIT", nullptr);
    ASSERT_NE(edit, nullptr);
}

TEST(Win32HostTest, EditFieldPassesTextBothWays) {
    TestWindow w;
    ASSERT_TRUE(w.Create(nullptr, L"Host test"));
    HWND frame = nullptr, edit = nullptr;
    ASSERT_NO_FATAL_FAILURE(FindTheField(w, frame, edit));
    EXPECT_EQ(TextOf(edit), L"C:\\Pelmora");
    // Over its control on screen.
    RECT wr, fr;
    GetWindowRect(w.Hwnd(), &wr);
    GetWindowRect(frame, &fr);
    const Rect control = w.FindControl(L"dirEdit")->GetPos();
    EXPECT_GE(fr.left, wr.left + w.Px(w.Host().Margin() + control.left));
    EXPECT_LE(fr.right, wr.left + w.Px(w.Host().Margin() + control.right));
    // The pop-up is opaque: it covers the text line only, never the field's border above and
    // below it.
    EXPECT_GT(fr.top, wr.top + w.Px(w.Host().Margin() + control.top));
    EXPECT_LT(fr.bottom, wr.top + w.Px(w.Host().Margin() + control.bottom));

    ASSERT_TRUE(SetWindowTextW(edit, L"D:\\Other"));  // as typing would
    EXPECT_EQ(w.FindControl(L"dirEdit")->GetText(), L"D:\\Other");
    w.FindControl(L"dirEdit")->SetText(L"E:\\Set");
    EXPECT_EQ(TextOf(edit), L"E:\\Set");
    EXPECT_EQ(w.FindControl(L"dirEdit")->GetText(), L"E:\\Set");

    w.FindControl(L"dirEdit")->SetVisible(false);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(frame); }));
}

TEST(Win32HostTest, ComboPopupChoosesTheClickedRowAndCloses) {
    TestWindow w;
    ASSERT_TRUE(w.Create(nullptr, L"Host test"));
    auto* combo = dynamic_cast<CComboUI*>(w.FindControl(L"langCombo"));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->GetCurSel(), 0);
    w.Click(L"langCombo");
    std::vector<HWND> popups;
    ASSERT_TRUE(PumpUntil([&] {
        popups = OwnedWindows(w.Hwnd(), L"QuorvexPopupList");
        return popups.size() == 1 && IsWindowVisible(popups[0]);
    }));
    EXPECT_EQ(GetCapture(), popups[0]);
    RECT pr;
    GetClientRect(popups[0], &pr);
    // The lower half is the second of the two rows.
    const LPARAM row = MAKELPARAM(pr.right / 2, pr.bottom * 3 / 4);
    ASSERT_TRUE(PostMessageW(popups[0], WM_MOUSEMOVE, 0, row));
    ASSERT_TRUE(PostMessageW(popups[0], WM_LBUTTONDOWN, MK_LBUTTON, row));
    ASSERT_TRUE(PostMessageW(popups[0], WM_LBUTTONUP, 0, row));
    ASSERT_TRUE(PumpUntil([&] { return combo->GetCurSel() == 1; }));
    EXPECT_FALSE(IsWindow(popups[0]));

    // A click outside the list closes it without a choice.
    w.Click(L"langCombo");
    ASSERT_TRUE(PumpUntil([&] {
        popups = OwnedWindows(w.Hwnd(), L"QuorvexPopupList");
        return popups.size() == 1 && IsWindowVisible(popups[0]);
    }));
    ASSERT_TRUE(PostMessageW(popups[0], WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-5, -5)));
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(popups[0]); }));
    EXPECT_EQ(combo->GetCurSel(), 1);
}

TEST(Win32HostTest, GeometryIsInWindowUnitsAndCentresInTheWorkArea) {
    TestWindow w;
    ASSERT_TRUE(w.Create(nullptr, L"Host test"));
    w.Native()->Move(100, 120);
    Rect r = w.Native()->GetRect();
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 120);
    EXPECT_EQ(r.Width(), 240);
    EXPECT_EQ(r.Height(), 200);
    // The client area, not the shadow margin, is what moved there.
    RECT wr;
    ASSERT_TRUE(GetWindowRect(w.Hwnd(), &wr));
    EXPECT_EQ(wr.left, w.Px(100 - w.Host().Margin()));

    const Rect work = w.Native()->GetWorkArea();
    ASSERT_FALSE(work.IsEmpty());
    w.CenterWindow();
    r = w.Native()->GetRect();
    EXPECT_LE(std::abs((r.left + r.right) / 2 - (work.left + work.right) / 2), 1);
    EXPECT_LE(std::abs((r.top + r.bottom) / 2 - (work.top + work.bottom) / 2), 1);
    w.Native()->Move(work.right - 10, work.bottom - 10);  // code may still place it off screen
    EXPECT_EQ(w.Native()->GetRect().left, work.right - 10);
}

TEST(Win32HostTest, IconsComeFromThePngFiles) {
    TestWindow w;
    ASSERT_TRUE(w.Create(nullptr, L"Host test"));
    w.Native()->SetIconImages({SolidPng(16), {'n', 'o', 't', ' ', 'p', 'n', 'g'}, SolidPng(32)});
    const auto small = SendMessageW(w.Hwnd(), WM_GETICON, ICON_SMALL, 0);
    const auto big = SendMessageW(w.Hwnd(), WM_GETICON, ICON_BIG, 0);
    ASSERT_NE(small, 0);
    ASSERT_NE(big, 0);
    EXPECT_NE(small, big);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(big), &info));
    BITMAP bm{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 32);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    // Nothing usable keeps the icons already set.
    w.Native()->SetIconImages({{'x'}});
    EXPECT_EQ(SendMessageW(w.Hwnd(), WM_GETICON, ICON_BIG, 0), big);
}

TEST(Win32HostTest, KeysReachTheToolkitFromTheWindowAndFromTheField) {
    TestWindow w;
    ASSERT_TRUE(w.Create(nullptr, L"Host test"));
    HWND frame = nullptr, edit = nullptr;
    ASSERT_NO_FATAL_FAILURE(FindTheField(w, frame, edit));
    // Tab walks the focusable controls; on the edit control the native field takes the keys.
    CControlUI* field = w.FindControl(L"dirEdit");
    for (int i = 0; i < 6 && w.PaintManager().GetFocus() != field; ++i) {
        ASSERT_TRUE(PostMessageW(w.Hwnd(), WM_KEYDOWN, VK_TAB, 0));
        Pump(30);
    }
    ASSERT_EQ(w.PaintManager().GetFocus(), field);
    EXPECT_EQ(GetFocus(), edit);
    // Escape in the field goes to the window's filters; Enter is offered to them first.
    SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(w.filteredEscapes, 1);
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(w.filteredReturns, 1);
    // Tab in the field moves the focus on, out of the field.
    SendMessageW(edit, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_NE(w.PaintManager().GetFocus(), field);
    EXPECT_NE(GetFocus(), edit);
    // Escape in the window itself reaches the filters too.
    SendMessageW(w.Hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(w.filteredEscapes, 2);
}

}  // namespace

// A repaint of part of the window leaves the bitmap exactly as a repaint of the whole would: the
// parts it skips (the shadow, the outline, the controls elsewhere) are kept, at a whole scale
// and at a fractional one (125 %, where a unit's edge falls inside a pixel).
TEST(Win32HostTest, APartialRepaintLeavesTheBitmapAsAWholeRepaintWould) {
    TestWindow w;
    ASSERT_TRUE(w.Create(nullptr, L"Host test"));
    const auto snapshot = [&] {
        int width = 0, height = 0;
        const unsigned char* px = w.Host().Pixels(&width, &height);
        return px ? std::vector<unsigned char>(px, px + static_cast<size_t>(width) * height * 4)
                  : std::vector<unsigned char>{};
    };
    const auto repaintAll = [&] {
        w.Host().InvalidateRect({0, 0, 240, 200});
        w.Host().PaintNow();
        return snapshot();
    };
    for (const UINT dpi : {96u, 120u}) {
        SCOPED_TRACE(dpi);
        if (dpi != 96) {
            RECT wr;
            ASSERT_TRUE(GetWindowRect(w.Hwnd(), &wr));
            SendMessageW(w.Hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&wr));
            ASSERT_DOUBLE_EQ(w.Host().Scale(), dpi / 96.0);
        }
        const std::vector<unsigned char> whole = repaintAll();
        ASSERT_FALSE(whole.empty());
        // The same content again through partial repaints: inside, across an edge, a corner.
        for (const Rect part : {Rect{40, 41, 81, 63}, Rect{0, 100, 30, 120}, Rect{225, 0, 240, 15}}) {
            w.Host().InvalidateRect(part);
            w.Host().PaintNow();
            EXPECT_TRUE(snapshot() == whole) << part.left << "," << part.top;
        }
        // A control that changes: only its part is repainted, and the result is the whole one.
        w.FindControl(L"okbtn")->SetBkColor(dpi == 96 ? 0xFF00FF00 : 0xFF0000FF);
        w.Host().PaintNow();
        const std::vector<unsigned char> partial = snapshot();
        EXPECT_FALSE(partial == whole);
        EXPECT_TRUE(partial == repaintAll());
    }
    w.Close(0);
    Pump(100);
}

// Minimised, the window draws nothing (a running animation costs no repaint); what changed in
// the meantime is drawn when it is restored.
TEST(Win32HostTest, AMinimisedWindowPaintsOnlyOnceRestored) {
    TestWindow w;
    ASSERT_TRUE(w.Create(nullptr, L"Host test"));
    w.ShowWindow(true, false);
    w.Host().PaintNow();
    int width = 0, height = 0;
    const unsigned char* px = w.Host().Pixels(&width, &height);
    ASSERT_NE(px, nullptr);
    const int m = w.Host().Margin();
    const Point ok = w.Centre(L"okbtn");
    const unsigned char* okPixel =
        px + (static_cast<size_t>(w.Px(m + ok.y)) * width + static_cast<size_t>(w.Px(m + ok.x))) * 4;
    ASSERT_EQ(okPixel[2], 255);
    w.Host().Minimize();
    ASSERT_TRUE(PumpUntil([&] { return IsIconic(w.Hwnd()) != 0; }));
    w.FindControl(L"okbtn")->SetBkColor(0xFF00FF00);
    Pump(200);
    w.Host().PaintNow();
    EXPECT_EQ(okPixel[1], 0);  // still the old colour
    w.Host().Restore();
    EXPECT_TRUE(PumpUntil([&] { return okPixel[1] == 255 && okPixel[2] == 0; }));
    w.Close(0);
    Pump(100);
}
