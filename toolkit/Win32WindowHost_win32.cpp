#include "toolkit/Win32WindowHost_win32.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "toolkit/CairoPtr.h"
#include "toolkit/Win32Host.h"
#include "toolkit/Win32LayeredBitmap_win32.h"
#include "toolkit/Painter.h"
#include "toolkit/Win32PopupList_win32.h"
#include "toolkit/Win32TextFields_win32.h"
#include "toolkit/WindowBase.h"
#include "toolkit/WindowIcon.h"

#include "utils/WindowsApi_win32.h"

// The automation providers name the system's types: after the system headers.
#include "toolkit/Win32Accessible_win32.h"

#include <windowsx.h>

#include "utils/SystemFunction_win32.h"

namespace Toolkit {
namespace {

constexpr UINT kPaintMessage = WM_APP + 2;
constexpr wchar_t kDefaultClassName[] = L"QuorvexSkinWindow";

// The window class: registered on first use, with the arrow cursor, no background brush (the
// toolkit draws every pixel) and no icon (the icon comes from the skin's images); a class that
// exists already counts as registered.
bool RegisterHostClass(const wchar_t* name, WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Width of a PNG file from its header (0 when it is none).
int PngWidth(const std::vector<unsigned char>& png) {
    static const unsigned char sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 24 || !std::equal(sig, sig + 8, png.begin())) return 0;
    return (png[16] << 24) | (png[17] << 16) | (png[18] << 8) | png[19];
}

// The DPI a window is drawn at: its own (Windows 10 1607), its monitor's (8.1), or the
// screen's (7, where the process is aware of the system DPI only).
UINT WindowDpi(HWND window) {
    static const auto forWindow = Utils::win::SystemFunction<UINT(WINAPI*)(HWND)>(L"user32.dll", "GetDpiForWindow");
    if (forWindow)
        if (const UINT dpi = forWindow(window)) return dpi;
    using ForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const auto forMonitor = Utils::win::SystemFunction<ForMonitor>(L"shcore.dll", "GetDpiForMonitor");
    UINT x = 0, y = 0;
    if (forMonitor && SUCCEEDED(forMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), 0 /* effective */, &x, &y)) &&
        x)
        return x;
    HDC screen = GetDC(nullptr);
    if (!screen) return 96;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// A window's device context for drawing outside WM_PAINT, released with it.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint's context, ended with it (also when nothing could be drawn).
class PaintDc {
public:
    explicit PaintDc(HWND window) : window_(window), dc_(BeginPaint(window, &ps_)) {}
    ~PaintDc() { EndPaint(window_, &ps_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC Get() const { return dc_; }
    const RECT& Dirty() const { return ps_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

}  // namespace

Win32WindowHost::Win32WindowHost(CWindowBase& window, CWindowBase* owner, const std::wstring& title, int width,
                                 int height)
    : owner_window_(window), manager_(window.PaintManager()), client_{width, height} {
    std::wstring className = window.GetWindowClassName();
    if (className.empty()) className = kDefaultClassName;
    if (!RegisterHostClass(className.c_str(), &Win32WindowHost::WindowProc)) {
        std::fprintf(stderr, "window host: RegisterClassExW failed (%lu)\n", GetLastError());
        return;
    }
    composes_ = DesktopComposes();
    margin_ = composes_ ? Paint::ShadowMargin(manager_.GetShadow()) : 0;
    HWND ownerHwnd = nullptr;
    if (owner && owner->Native()) ownerHwnd = static_cast<Win32WindowHost*>(owner->Native())->Handle();
    // A pop-up (no native frame or caption) with a system menu, so the taskbar can minimise,
    // restore and close it; an unowned one gets a taskbar button of its own.
    const DWORD style = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    const DWORD exStyle = (composes_ ? WS_EX_LAYERED : 0) | (ownerHwnd ? 0 : WS_EX_APPWINDOW);
    hwnd_ = CreateWindowExW(exStyle, className.c_str(), title.c_str(), style, 0, 0, width + 2 * margin_, height + 2 * margin_,
                            ownerHwnd, nullptr, GetModuleHandleW(nullptr), this);
    if (!hwnd_) {
        std::fprintf(stderr, "window host: CreateWindowExW failed (%lu)\n", GetLastError());
        return;
    }
    const UINT dpi = WindowDpi(hwnd_);
    scale_ = dpi ? dpi / 96.0 : 1.0;
    fields_ = std::make_unique<Win32TextFields>(*this);
    accessibility_ = std::make_unique<Win32Accessibility>(*this);
    if (!WindowIconImages().empty()) SetIconImages(WindowIconImages());
    manager_.SetHost(this);
    dirty_ = {0, 0, client_.cx, client_.cy};
    SchedulePaint();
}

Win32WindowHost::~Win32WindowHost() {
    Destroy();
    for (HICON icon : icons_) DestroyIcon(icon);
}

void Win32WindowHost::Destroy() {
    if (destroyed_ || !hwnd_) return;
    destroyed_ = true;
    popup_.reset();
    // Clients holding providers learn that the controls are gone before the host lets go of them.
    if (accessibility_) accessibility_->Clear();
    if (manager_.GetHost() == this) manager_.SetHost(nullptr);
    fields_.reset();  // its windows first: they are owned by this one
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    if (!DestroyWindow(hwnd_)) std::fprintf(stderr, "window host: DestroyWindow failed (%lu)\n", GetLastError());
    hwnd_ = nullptr;
}

void Win32WindowHost::OnNativeGone() {
    // Destroyed by the system (its owner went, the session ends): the window base learns it.
    if (destroyed_) return;
    destroyed_ = true;
    popup_.reset();
    if (accessibility_) accessibility_->Clear();
    if (manager_.GetHost() == this) manager_.SetHost(nullptr);
    if (fields_) fields_->Forget();
    hwnd_ = nullptr;
    owner_window_.OnNativeDestroyed();
}

int Win32WindowHost::Px(double units) const { return static_cast<int>(std::lround(units * scale_)); }

Point Win32WindowHost::ToClient(std::intptr_t lParam) const {
    return {static_cast<int>(std::floor(GET_X_LPARAM(lParam) / scale_)) - margin_,
            static_cast<int>(std::floor(GET_Y_LPARAM(lParam) / scale_)) - margin_};
}

std::uintptr_t Win32WindowHost::VirtualKey(std::uintptr_t vk) {
    switch (vk) {
        case VK_TAB: return Key::Tab;
        case VK_RETURN: return Key::Return;
        case VK_SPACE: return Key::Space;
        case VK_ESCAPE: return Key::Escape;
        case VK_BACK: return Key::Back;
        case VK_UP: return Key::Up;
        case VK_DOWN: return Key::Down;
        case VK_LEFT: return Key::Left;
        case VK_RIGHT: return Key::Right;
        case VK_HOME: return Key::Home;
        case VK_END: return Key::End;
        case VK_PRIOR: return Key::PageUp;
        case VK_NEXT: return Key::PageDown;
        case VK_F4: return Key::F4;
        default: break;
    }
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return vk;
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return '0' + (vk - VK_NUMPAD0);
    return 0;
}

std::uint32_t Win32WindowHost::KeyModifiers() {
    std::uint32_t m = 0;
    if (GetKeyState(VK_SHIFT) < 0) m |= Modifier::Shift;
    if (GetKeyState(VK_CONTROL) < 0) m |= Modifier::Control;
    if (GetKeyState(VK_MENU) < 0) m |= Modifier::Alt;
    return m;
}

LRESULT CALLBACK Win32WindowHost::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        // The host from CreateWindowExW, kept for every later message.
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32WindowHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || self->destroyed_ || !self->hwnd_) return DefWindowProcW(hwnd, msg, wParam, lParam);
    bool handled = false;
    const LRESULT result = self->HandleNative(msg, wParam, lParam, handled);
    return handled ? result : DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Win32WindowHost::CloseCommand() {
    // WM_CLOSE sent directly by the window base: no close request, the modal run gives 0.
    owner_window_.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool Win32WindowHost::OnKey(std::uintptr_t nativeVk) {
    const std::uintptr_t vk = VirtualKey(nativeVk);
    const std::uint32_t mods = KeyModifiers();
    if (vk == Key::F4 && (mods & Modifier::Alt)) {
        CloseCommand();  // Alt+F4 is the system close command
        return true;
    }
    const bool used = manager_.OnKeyDown(vk, mods);
    return used || vk == Key::Escape || vk == Key::Tab;
}

std::intptr_t Win32WindowHost::HandleNative(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, bool& handled) {
    handled = true;
    switch (msg) {
        case kPaintMessage:
            PaintNow();
            return 0;
        case WM_PAINT: {
            // Only an ordinary (not layered) window is asked: the system lost pixels it showed
            // (uncovered, restored). The bitmap still holds them, unless it is not made yet.
            {
                const PaintDc dc(hwnd_);
                const RECT& r = dc.Dirty();
                if (dc.Get() && surface_) surface_->Blit(dc.Get(), r.left, r.top, r.right, r.bottom);
            }
            if (!surface_) InvalidateRect({0, 0, client_.cx, client_.cy});
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // every pixel comes from the bitmap: erasing first would flash
        case WM_NCHITTEST: {
            RECT wr;
            if (!GetWindowRect(hwnd_, &wr)) break;
            const Point pt{static_cast<int>(std::floor((GET_X_LPARAM(lParam) - wr.left) / scale_)) - margin_,
                           static_cast<int>(std::floor((GET_Y_LPARAM(lParam) - wr.top) / scale_)) - margin_};
            // The shadow margin is no part of the window: clicks pass to the window beneath.
            if (!Rect{0, 0, client_.cx, client_.cy}.Contains(pt)) return HTTRANSPARENT;
            switch (manager_.HitTestPoint(pt, maximized_)) {
                case HitTest::Caption: return HTCAPTION;
                case HitTest::Left: return HTLEFT;
                case HitTest::Right: return HTRIGHT;
                case HitTest::Top: return HTTOP;
                case HitTest::Bottom: return HTBOTTOM;
                case HitTest::TopLeft: return HTTOPLEFT;
                case HitTest::TopRight: return HTTOPRIGHT;
                case HitTest::BottomLeft: return HTBOTTOMLEFT;
                case HitTest::BottomRight: return HTBOTTOMRIGHT;
                case HitTest::Client: break;
            }
            return HTCLIENT;
        }
        case WM_MOUSEMOVE:
            if (!tracking_) {
                TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, hwnd_, 0};
                tracking_ = TrackMouseEvent(&tme) != 0;
            }
            manager_.OnMouseMove(ToClient(lParam));
            return 0;
        case WM_MOUSELEAVE:
            tracking_ = false;
            manager_.OnMouseLeave();
            return 0;
        case WM_LBUTTONDOWN: {
            const Point pt = ToClient(lParam);
            if (!Rect{0, 0, client_.cx, client_.cy}.Contains(pt)) return 0;
            SetCapture(hwnd_);
            manager_.OnButtonDown(pt, KeyModifiers());
            return 0;  // the handlers may have closed the window: nothing more here
        }
        case WM_LBUTTONUP: {
            if (GetCapture() == hwnd_ && !ReleaseCapture())
                std::fprintf(stderr, "window host: ReleaseCapture failed (%lu)\n", GetLastError());
            manager_.OnButtonUp(ToClient(lParam), KeyModifiers());
            return 0;
        }
        case WM_MOUSEWHEEL:
            if (popup_ && !popup_->IsClosed()) popup_->Wheel(GET_WHEEL_DELTA_WPARAM(wParam));
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            if (popup_ && !popup_->IsClosed()) {
                popup_->KeyDown(VirtualKey(wParam));
                return 0;
            }
            if (OnKey(wParam) || msg == WM_KEYDOWN) return 0;
            break;  // Alt combinations the toolkit did not use: the system's (Alt+Space)
        }
        case WM_SYSCOMMAND:
            // The taskbar's and the keyboard's close: the window base decides whether it goes.
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                CloseCommand();
                return 0;
            }
            break;
        case WM_CLOSE:
            CloseCommand();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE && popup_ && !popup_->IsClosed() &&
                !(fields_ && fields_->Owns(reinterpret_cast<HWND>(lParam))))
                popup_->Close();
            break;
        case WM_GETMINMAXINFO: {
            // Maximised, a pop-up would cover the taskbar: keep it to the work area.
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            MONITORINFO mi{};
            mi.cbSize = sizeof mi;
            if (GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &mi)) {
                info->ptMaxPosition = {mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top};
                info->ptMaxSize = {mi.rcWork.right - mi.rcWork.left, mi.rcWork.bottom - mi.rcWork.top};
            }
            return 0;
        }
        case WM_SIZE: {
            if (wParam != SIZE_MINIMIZED && !dirty_.IsEmpty()) SchedulePaint();  // held while minimised
            const bool nowMax = wParam == SIZE_MAXIMIZED;
            if ((wParam == SIZE_MAXIMIZED || wParam == SIZE_RESTORED) && nowMax != maximized_) {
                maximized_ = nowMax;
                SizeFromWindow();
                owner_window_.OnMaximizedChanged(maximized_);  // the corners are square while maximised
            }
            return 0;
        }
        case WM_WINDOWPOSCHANGED:
            if (fields_) fields_->Follow();
            break;
        case WM_DPICHANGED: {
            scale_ = LOWORD(wParam) / 96.0;
            const RECT* r = reinterpret_cast<const RECT*>(lParam);
            surface_.reset();
            if (!SetWindowPos(hwnd_, nullptr, r->left, r->top, Px(client_.cx + 2 * margin_),
                              Px(client_.cy + 2 * margin_), SWP_NOZORDER | SWP_NOACTIVATE))
                std::fprintf(stderr, "window host: SetWindowPos failed (%lu)\n", GetLastError());
            InvalidateRect({0, 0, client_.cx, client_.cy});
            manager_.NeedUpdate();
            return 0;
        }
        case WM_GETOBJECT:
            if (accessibility_) {
                if (const auto provider = accessibility_->OnGetObject(wParam, lParam)) return *provider;
            }
            break;
        case WM_DESTROY:
            OnNativeGone();
            return 0;
        default:
            break;
    }
    handled = false;
    return 0;
}

void Win32WindowHost::SizeFromWindow() {
    RECT wr;
    if (!GetWindowRect(hwnd_, &wr)) return;
    const Size size{std::max(1, static_cast<int>(std::lround((wr.right - wr.left) / scale_)) - 2 * margin_),
                    std::max(1, static_cast<int>(std::lround((wr.bottom - wr.top) / scale_)) - 2 * margin_)};
    if (size == client_) return;
    client_ = size;
    manager_.SetClientSize(client_);
    InvalidateRect({0, 0, client_.cx, client_.cy});
}

void Win32WindowHost::SchedulePaint() {
    if (paintPending_ || destroyed_ || !hwnd_) return;
    if (PostMessageW(hwnd_, kPaintMessage, 0, 0)) paintPending_ = true;
    else std::fprintf(stderr, "window host: PostMessageW failed (%lu)\n", GetLastError());
}

void Win32WindowHost::PaintNow() {
    paintPending_ = false;
    if (destroyed_ || !hwnd_ || client_.cx <= 0 || client_.cy <= 0) return;
    const int W = Px(client_.cx + 2 * margin_), H = Px(client_.cy + 2 * margin_);
    if (!surface_ || surface_->Width() != W || surface_->Height() != H || surface_->Scale() != scale_) {
        surface_ = Win32LayeredBitmap::Make(W, H, scale_);
        if (!surface_) return;
        dirty_ = {0, 0, client_.cx, client_.cy};
    }
    // Minimised, nothing shows: what changed waits in dirty_ for the restore (an animation
    // running behind the taskbar button costs no drawing and no present).
    if (dirty_.IsEmpty() || IsIconic(hwnd_)) return;
    const Rect full{0, 0, client_.cx, client_.cy};
    const Rect changed = dirty_.Intersect(full);
    dirty_ = {};
    if (changed.IsEmpty()) return;
    // The pixels repainted: the changed units pushed out to whole pixels, so that the clip never
    // blends an edge pixel's new value with its old one (at a fractional scale a unit's edge
    // falls inside a pixel); every control reaching into them is drawn again. The bitmap is
    // kept whole: what lies outside the clip stays as the last paint left it.
    const int left = static_cast<int>(std::floor((changed.left + margin_) * scale_));
    const int top = static_cast<int>(std::floor((changed.top + margin_) * scale_));
    const int right = static_cast<int>(std::ceil((changed.right + margin_) * scale_));
    const int bottom = static_cast<int>(std::ceil((changed.bottom + margin_) * scale_));
    const auto unitFloor = [this](int px) { return static_cast<int>(std::floor(px / scale_)) - margin_; };
    const auto unitCeil = [this](int px) { return static_cast<int>(std::ceil(px / scale_)) - margin_; };
    const Rect dirty = Rect{unitFloor(left), unitFloor(top), unitCeil(right), unitCeil(bottom)}.Intersect(full);
    const bool whole = dirty == full;
    manager_.SetClientSize(client_);
    {
        CairoPtr cr(cairo_create(surface_->Surface()));
        if (!whole) {
            cairo_rectangle(cr.get(), left / scale_, top / scale_, (right - left) / scale_, (bottom - top) / scale_);
            cairo_clip(cr.get());
        }
        // A repaint clear of the window's edges and rounded corners has no shadow under it (the
        // window's own area is cleared over the shadow at once) and no outline to cut: both are
        // skipped, which draws the same pixels at a fraction of the cost of a small repaint
        // repeated every frame (an animation).
        const Size round = manager_.GetRoundCorner();
        const int cornerX = round.cx / 2 + 1, cornerY = round.cy / 2 + 1;
        const bool inside = dirty.left >= 1 && dirty.top >= 1 && dirty.right <= client_.cx - 1 &&
                            dirty.bottom <= client_.cy - 1 &&
                            ((dirty.left >= cornerX && dirty.right <= client_.cx - cornerX) ||
                             (dirty.top >= cornerY && dirty.bottom <= client_.cy - cornerY));
        WindowFrame frame;
        frame.margin = margin_;
        frame.shadow = margin_ > 0 && !inside;
        // Opaque, a rounded corner's partly covered pixels would show dark: the corners stay square.
        frame.roundedClip = composes_ && !maximized_ && !inside;
        frame.opaque = !composes_;
        frame.outline = !composes_ && !maximized_;
        if (margin_ == 0) {
            // No margin whose clearing starts the paint afresh: the rounded edge's partly covered
            // pixels would blend the new frame into the last one. Clear what is repainted.
            cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
            cairo_set_source_rgba(cr.get(), 0, 0, 0, 0);
            cairo_paint(cr.get());
            cairo_set_operator(cr.get(), CAIRO_OPERATOR_OVER);
            frame.startsClear = true;
        }
        painter_.Paint(cr.get(), manager_, frame, dirty);
    }
    // Widened by one pixel for the edge pixels an anti-aliased shape shares.
    ShowPixels(whole, left - 1, top - 1, right + 1, bottom + 1);
    if (fields_) fields_->Repainted();
}

void Win32WindowHost::ShowPixels(bool whole, int left, int top, int right, int bottom) {
    if (composes_) {
        if (whole) surface_->Present(hwnd_);
        else surface_->PresentChanged(hwnd_, left, top, right, bottom);
        return;
    }
    // An ordinary window takes its size from us, not from the bitmap: follow a new bitmap's size
    // (a maximised window's size is the system's).
    RECT wr;
    if (!maximized_ && GetWindowRect(hwnd_, &wr) &&
        (wr.right - wr.left != surface_->Width() || wr.bottom - wr.top != surface_->Height()) &&
        !SetWindowPos(hwnd_, nullptr, 0, 0, surface_->Width(), surface_->Height(),
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE))
        std::fprintf(stderr, "window host: SetWindowPos failed (%lu)\n", GetLastError());
    if (whole) left = 0, top = 0, right = surface_->Width(), bottom = surface_->Height();
    const WindowDc dc(hwnd_);
    if (!dc.Get()) {
        std::fprintf(stderr, "window host: GetDC failed (%lu)\n", GetLastError());
        return;
    }
    surface_->Blit(dc.Get(), left, top, right, bottom);
    // What was just copied needs no WM_PAINT of its own.
    RECT done{left, top, right, bottom};
    ValidateRect(hwnd_, &done);
}

const unsigned char* Win32WindowHost::Pixels(int* width, int* height) const {
    if (!surface_) return nullptr;
    if (width) *width = surface_->Width();
    if (height) *height = surface_->Height();
    return surface_->Bits();
}

// ---- INativeWindow ----

void Win32WindowHost::Show(bool show, bool activate) {
    if (destroyed_) return;
    if (show && (paintPending_ || !surface_)) PaintNow();  // a layered window shows only what it was given
    ShowWindow(hwnd_, !show ? SW_HIDE : activate ? SW_SHOW : SW_SHOWNA);
    if (show && activate) SetForegroundWindow(hwnd_);  // refused when another program has the user: not an error
    if (fields_) fields_->Follow();
}

void Win32WindowHost::SetSensitive(bool sensitive) {
    if (destroyed_) return;
    EnableWindow(hwnd_, sensitive);
    if (fields_) fields_->Enable(sensitive);
}

void Win32WindowHost::Focus() {
    if (!destroyed_ && IsWindowVisible(hwnd_)) SetForegroundWindow(hwnd_);
}

void Win32WindowHost::Minimize() {
    if (!destroyed_) ShowWindow(hwnd_, SW_MINIMIZE);
}

void Win32WindowHost::Maximize() {
    if (!destroyed_) ShowWindow(hwnd_, SW_MAXIMIZE);
}

void Win32WindowHost::Restore() {
    if (!destroyed_) ShowWindow(hwnd_, SW_RESTORE);
}

Rect Win32WindowHost::GetRect() const {
    RECT wr{0, 0, 0, 0};
    if (!destroyed_ && hwnd_) GetWindowRect(hwnd_, &wr);
    const int x = static_cast<int>(std::lround(wr.left / scale_)) + margin_;
    const int y = static_cast<int>(std::lround(wr.top / scale_)) + margin_;
    return {x, y, x + client_.cx, y + client_.cy};
}

void Win32WindowHost::PlaceWindow(int x, int y) {
    if (!SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE))
        std::fprintf(stderr, "window host: SetWindowPos failed (%lu)\n", GetLastError());
}

void Win32WindowHost::Move(int x, int y) {
    if (!destroyed_) PlaceWindow(Px(x - margin_), Px(y - margin_));
}

void Win32WindowHost::Resize(int width, int height) {
    if (destroyed_) return;
    client_ = {width, height};
    manager_.SetClientSize(client_);
    InvalidateRect({0, 0, width, height});
}

Rect Win32WindowHost::GetWorkArea() const {
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    HMONITOR monitor = MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST);
    if (!monitor || !GetMonitorInfoW(monitor, &mi)) return {};
    const auto u = [this](LONG px) { return static_cast<int>(std::lround(px / scale_)); };
    return {u(mi.rcWork.left), u(mi.rcWork.top), u(mi.rcWork.right), u(mi.rcWork.bottom)};
}

void Win32WindowHost::SetKeepAbove(bool above) {
    if (!destroyed_ && !SetWindowPos(hwnd_, above ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE))
        std::fprintf(stderr, "window host: SetWindowPos failed (%lu)\n", GetLastError());
}

void Win32WindowHost::SetIconImages(const std::vector<std::vector<unsigned char>>& pngFiles) {
    if (destroyed_) return;
    HICON smallIcon = nullptr, bigIcon = nullptr;
    int smallWidth = 0, bigWidth = 0;
    std::vector<HICON> made;
    for (const auto& png : pngFiles) {
        const int width = PngWidth(png);
        if (width <= 0) continue;
        // The icon-resource reader takes PNG data as it is (version 3.0 icon images).
        HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(png.data()), static_cast<DWORD>(png.size()), TRUE,
                                              0x00030000, 0, 0, LR_DEFAULTCOLOR);
        if (!icon) {
            std::fprintf(stderr, "window host: CreateIconFromResourceEx failed (%lu)\n", GetLastError());
            continue;
        }
        made.push_back(icon);
        if (!smallIcon || width < smallWidth) smallIcon = icon, smallWidth = width;
        if (!bigIcon || width > bigWidth) bigIcon = icon, bigWidth = width;
    }
    if (made.empty()) return;
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    for (HICON old : icons_) DestroyIcon(old);  // no longer set on the window
    icons_ = std::move(made);
}

Rect Win32WindowHost::ScreenRectOf(const Rect& client) const {
    const Rect w = GetRect();
    return client.Offset(w.left, w.top);
}

// ---- IWindowHost ----

void Win32WindowHost::InvalidateRect(const Rect& r) {
    if (destroyed_ || r.IsEmpty()) return;
    dirty_ = dirty_.IsEmpty() ? r : Rect{std::min(dirty_.left, r.left), std::min(dirty_.top, r.top),
                                         std::max(dirty_.right, r.right), std::max(dirty_.bottom, r.bottom)};
    SchedulePaint();
}

void Win32WindowHost::LayoutChanged() {
    if (!destroyed_ && fields_ && manager_.GetRoot()) fields_->Sync(manager_.GetRoot());
}

void Win32WindowHost::FocusChanged(CControlUI* control) {
    if (accessibility_ && !destroyed_) accessibility_->FocusMoved(nullptr, control);
    if (destroyed_ || !fields_) return;
    if (fields_->Focus(control)) return;
    // The focus left the fields: keys come back to the window.
    if (fields_->Owns(GetFocus())) SetFocus(hwnd_);
}

void Win32WindowHost::PeerChanged(CControlUI* control) {
    if (fields_) fields_->TextChanged(control);
}

void Win32WindowHost::ControlRemoved(CControlUI* control) {
    // From the control's base destructor: its list part is gone, so it is not told.
    if (popup_ && popup_->Owner() == control) {
        popup_->Abandon();
        popup_.reset();
    }
    if (fields_) fields_->Removed(control);
    if (accessibility_) accessibility_->Removed(control);
}

bool Win32WindowHost::ShowPopup(CControlUI* owner, IPopupList* list) {
    if (destroyed_ || !owner || !list) return false;
    popup_.reset();  // a closed pop-up lingers until the next one opens
    popup_ = std::make_unique<Win32PopupList>(*this, owner, list);
    return true;
}

}  // namespace Toolkit
