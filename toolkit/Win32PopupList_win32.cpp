#include "toolkit/Win32PopupList_win32.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "toolkit/Control.h"
#include "toolkit/NativePeer.h"
#include "toolkit/Win32LayeredBitmap_win32.h"
#include "toolkit/Win32WindowHost_win32.h"

#include "utils/WindowsApi_win32.h"

#include <windowsx.h>

namespace Toolkit {
namespace {
constexpr wchar_t kClassName[] = L"QuorvexPopupList";
}  // namespace

Win32PopupList::Win32PopupList(Win32WindowHost& host, CControlUI* owner, IPopupList* list)
    : owner_(owner), list_(list), scale_(host.Scale()) {
    const Size size = list->PopupSize();
    width_ = size.cx;
    height_ = size.cy;
    const Rect box = host.ScreenRectOf(owner->GetPos());
    const Rect place = list->PlacePopup(box, size, host.GetWorkArea());
    const auto px = [this](int units) { return static_cast<int>(std::lround(units * scale_)); };

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Win32PopupList::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        std::fprintf(stderr, "pop-up list: RegisterClassExW failed (%lu)\n", GetLastError());
        closed_ = true;
        return;
    }
    hwnd_ = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST, kClassName, L"",
                            WS_POPUP, px(place.left), px(place.top), px(width_), px(height_), host.Handle(), nullptr,
                            wc.hInstance, this);
    if (!hwnd_) {
        std::fprintf(stderr, "pop-up list: CreateWindowExW failed (%lu)\n", GetLastError());
        closed_ = true;
        return;
    }
    hot_ = list->PopupCurrentItem();
    list->PopupShown(true);
    Paint();
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    // The capture brings every click of this program's windows here, so one outside closes the
    // list; a click in another program takes the capture away, which closes it too.
    SetCapture(hwnd_);
}

Win32PopupList::~Win32PopupList() { Close(); }

void Win32PopupList::Close() {
    if (closed_) return;
    closed_ = true;  // first: giving up the capture reports back here
    HWND hwnd = hwnd_;
    hwnd_ = nullptr;
    if (GetCapture() == hwnd) ReleaseCapture();
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (!DestroyWindow(hwnd)) std::fprintf(stderr, "pop-up list: DestroyWindow failed (%lu)\n", GetLastError());
    if (list_) list_->PopupShown(false);
}

void Win32PopupList::Choose(int index) {
    IPopupList* list = list_;
    Close();
    if (!list) return;
    // Last: the choice's handlers may do anything, including closing the window (and with it
    // this object).
    if (index >= 0) list->PopupChoose(index);
}

void Win32PopupList::SetHot(int index) {
    if (index == hot_ || closed_) return;
    hot_ = index;
    const int h = list_->PopupItemHeight();
    if (hot_ >= 0) {
        // Keep the hot item in view.
        const int top = 1 + hot_ * h, bottom = top + h;
        if (top - scroll_ < 1) scroll_ = top - 1;
        if (bottom - scroll_ > height_ - 1) scroll_ = bottom - (height_ - 1);
    }
    Paint();
}

void Win32PopupList::Paint() {
    if (closed_ || !hwnd_) return;
    const int W = static_cast<int>(std::lround(width_ * scale_)), H = static_cast<int>(std::lround(height_ * scale_));
    if (W <= 0 || H <= 0) return;
    if (!bitmap_) bitmap_ = Win32LayeredBitmap::Make(W, H, scale_);
    if (!bitmap_) return;
    {
        CairoPtr cr(cairo_create(bitmap_->Surface()));
        cairo_set_operator(cr.get(), CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr.get());
        cairo_set_operator(cr.get(), CAIRO_OPERATOR_OVER);
        list_->PaintPopup(cr.get(), {width_, height_}, hot_, scroll_);
    }
    bitmap_->Present(hwnd_);
}

void Win32PopupList::KeyDown(std::uintptr_t key) {
    const int count = list_->PopupItemCount();
    if (key == Key::Escape || key == Key::Tab) Close();
    else if (key == Key::Up) SetHot(std::max(0, hot_ - 1));
    else if (key == Key::Down) SetHot(std::min(count - 1, hot_ + 1));
    else if (key == Key::Home) SetHot(0);
    else if (key == Key::End) SetHot(count - 1);
    else if (key == Key::Return || key == Key::Space) Choose(hot_);
}

void Win32PopupList::Wheel(int delta) {
    if (closed_) return;
    const int content = list_->PopupItemCount() * list_->PopupItemHeight() + 2;
    const int step = -delta * list_->PopupItemHeight() / WHEEL_DELTA;
    scroll_ = std::clamp(scroll_ + step, 0, std::max(0, content - height_));
    Paint();
}

LRESULT CALLBACK Win32PopupList::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32PopupList*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || self->closed_) return DefWindowProcW(hwnd, msg, wParam, lParam);
    bool handled = false;
    const LRESULT result = self->HandleNative(msg, wParam, lParam, handled);
    return handled ? result : DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::intptr_t Win32PopupList::HandleNative(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, bool& handled) {
    handled = true;
    // Under the capture, positions may lie outside the list (another window of the program).
    const Point pt{static_cast<int>(std::floor(GET_X_LPARAM(lParam) / scale_)),
                   static_cast<int>(std::floor(GET_Y_LPARAM(lParam) / scale_))};
    const bool inside = Rect{0, 0, width_, height_}.Contains(pt);
    switch (msg) {
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (!inside) Close();
            return 0;
        case WM_LBUTTONUP:
            if (inside) {
                const int index = list_->PopupItemAt(pt, scroll_);
                if (index >= 0) Choose(index);  // may end this object: nothing after it
            }
            return 0;
        case WM_MOUSEMOVE:
            if (inside) SetHot(list_->PopupItemAt(pt, scroll_));
            return 0;
        case WM_MOUSEWHEEL:
            Wheel(GET_WHEEL_DELTA_WPARAM(wParam));
            return 0;
        case WM_CAPTURECHANGED:
            Close();
            return 0;
        default:
            break;
    }
    handled = false;
    return 0;
}

}  // namespace Toolkit
