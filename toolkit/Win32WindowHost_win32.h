#pragma once
// One skinned window on Win32: a borderless top-level window drawn entirely by the toolkit.
// The whole window, drop shadow margin included, is painted through the window painter into a
// 32-bit premultiplied DIB section. Where the desktop composes, the window is layered and the
// bitmap is handed to the system with UpdateLayeredWindow, so the rounded corners are
// anti-aliased and the shadow is per-pixel alpha. Where it does not, nothing would blend that
// alpha: the window is an ordinary opaque one with square corners and an outline, and the
// changed pixels are copied to it (a layered window there costs a whole-window transfer per
// frame, whatever changed). It is per-monitor DPI aware: layout is in window units, pixels are units times the
// monitor's scale (dpi / 96; the skin's @2x images from 150 %). It turns Win32 input into
// toolkit input with the same key and modifier codes as the GTK host, drags the window by its
// caption through the system's hit test, keeps a native edit field over every visible control
// that asks for one (ITextPeer) and shows the pop-up lists controls ask for.
//
// Screen coordinates in this interface (GetRect, Move, GetWorkArea) are in window units:
// physical pixels divided by the window's scale.
//
// Thread: the user-interface thread (the one that made the platform).
#include <basetsd.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/PaintManager.h"
#include "toolkit/Platform.h"
#include "toolkit/WindowPainter.h"

struct HWND__;
struct HICON__;

namespace Toolkit {

class CWindowBase;
class Win32Accessibility;
class Win32LayeredBitmap;
class Win32PopupList;
class Win32TextFields;

class Win32WindowHost : public INativeWindow, public IWindowHost {
public:
    Win32WindowHost(CWindowBase& window, CWindowBase* owner, const std::wstring& title, int width, int height);
    ~Win32WindowHost() override;
    Win32WindowHost(const Win32WindowHost&) = delete;
    Win32WindowHost& operator=(const Win32WindowHost&) = delete;

    bool IsCreated() const { return hwnd_ != nullptr; }

    // INativeWindow
    void Show(bool show, bool activate) override;
    void Destroy() override;
    void SetSensitive(bool sensitive) override;
    void Focus() override;
    void Minimize() override;
    void Maximize() override;
    void Restore() override;
    bool IsMaximized() const override { return maximized_; }
    Rect GetRect() const override;
    void Move(int x, int y) override;
    void Resize(int width, int height) override;
    Rect GetWorkArea() const override;
    void SetKeepAbove(bool above) override;
    void SetIconImages(const std::vector<std::vector<unsigned char>>& pngFiles) override;

    // IWindowHost
    void InvalidateRect(const Rect& rect) override;
    void LayoutChanged() override;
    void FocusChanged(CControlUI* control) override;
    bool ShowPopup(CControlUI* owner, IPopupList* list) override;
    void PeerChanged(CControlUI* control) override;
    void ControlRemoved(CControlUI* control) override;

    HWND__* Handle() const { return hwnd_; }
    CPaintManagerUI& Manager() const { return manager_; }
    int Margin() const { return margin_; }
    double Scale() const { return scale_; }
    // Screen rectangle (window units) of a client rectangle.
    Rect ScreenRectOf(const Rect& client) const;
    // Paints what is pending now instead of at the next turn of the message loop.
    void PaintNow();
    // The window's pixels as last handed to the system: premultiplied BGRA rows, top-down,
    // `width` * 4 bytes each (tests read what the screen shows). Null before the first paint.
    const unsigned char* Pixels(int* width, int* height) const;

    // Keys as the host maps them (also used by the pop-up list and the edit fields).
    static std::uintptr_t VirtualKey(std::uintptr_t vk);
    static std::uint32_t KeyModifiers();
    // A key pressed in the window or one of its fields (a Windows virtual-key code): Alt+F4
    // is the close command, the rest goes to the paint manager. True when it was used.
    bool OnKey(std::uintptr_t nativeVk);
    // The system close command, as the window base takes it (also from the fields' windows).
    void CloseCommand();

private:
    // Win32's own types (LRESULT and LPARAM are LONG_PTR): on 32-bit Windows LONG_PTR is `long`,
    // a type of its own beside intptr_t's `int`.
    static LONG_PTR __stdcall WindowProc(HWND__* hwnd, unsigned msg, UINT_PTR wParam, LONG_PTR lParam);
    std::intptr_t HandleNative(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    void OnNativeGone();
    void SchedulePaint();
    void SizeFromWindow();
    void PlaceWindow(int physicalX, int physicalY);
    // Shows the repainted pixels [left, right) x [top, bottom) of the bitmap.
    void ShowPixels(bool whole, int left, int top, int right, int bottom);
    Point ToClient(std::intptr_t lParam) const;
    int Px(double units) const;

    CWindowBase& owner_window_;
    CPaintManagerUI& manager_;
    HWND__* hwnd_ = nullptr;
    int margin_ = 0;
    bool composes_ = true;  // the desktop blends the shadow (layered); otherwise opaque, an outline, no margin
    double scale_ = 1.0;
    bool maximized_ = false;
    bool destroyed_ = false;
    bool paintPending_ = false;
    bool tracking_ = false;  // asked for WM_MOUSELEAVE
    Size client_;
    Rect dirty_;
    CWindowPainter painter_;
    std::unique_ptr<Win32LayeredBitmap> surface_;
    std::unique_ptr<Win32TextFields> fields_;
    std::unique_ptr<Win32Accessibility> accessibility_;  // screen readers' view of the controls
    std::unique_ptr<Win32PopupList> popup_;
    std::vector<HICON__*> icons_;  // owned; destroyed with the host
};

}  // namespace Toolkit
