#pragma once
// A control's pop-up list (IPopupList: a combo box's drop-down and the like) on Win32: a
// borderless layered pop-up owned by the window, placed and painted by the list, that never
// takes the activation (the window keeps the keyboard and hands the list its keys and wheel)
// and holds the mouse capture while open. A click on a row chooses it; a click outside,
// Escape, Tab, losing the capture or the window losing the activation closes the list.
//
// Thread: the user-interface thread.
#include <basetsd.h>

#include <cstdint>
#include <memory>

struct HWND__;

namespace Toolkit {

class CControlUI;
class IPopupList;
class Win32LayeredBitmap;
class Win32WindowHost;

class Win32PopupList {
public:
    Win32PopupList(Win32WindowHost& host, CControlUI* owner, IPopupList* list);
    ~Win32PopupList();
    Win32PopupList(const Win32PopupList&) = delete;
    Win32PopupList& operator=(const Win32PopupList&) = delete;

    CControlUI* Owner() const { return owner_; }
    bool IsClosed() const { return closed_; }
    HWND__* Handle() const { return hwnd_; }
    void Close();
    // Closes without telling the list: its control is being destroyed.
    void Abandon() {
        list_ = nullptr;
        Close();
    }
    // A key pressed in the owning window while the list is open (toolkit key code).
    void KeyDown(std::uintptr_t key);
    // The mouse wheel turned by `delta` (120 a notch, positive away from the user).
    void Wheel(int delta);

private:
    // Win32's own types (LRESULT and LPARAM are LONG_PTR): on 32-bit Windows LONG_PTR is `long`,
    // a type of its own beside intptr_t's `int`.
    static LONG_PTR __stdcall WindowProc(HWND__* hwnd, unsigned msg, UINT_PTR wParam, LONG_PTR lParam);
    std::intptr_t HandleNative(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    void Choose(int index);
    void SetHot(int index);
    void Paint();

    CControlUI* owner_;
    IPopupList* list_;
    HWND__* hwnd_ = nullptr;
    double scale_ = 1.0;
    int width_ = 0, height_ = 0;  // window units
    int hot_ = -1;
    int scroll_ = 0;
    bool closed_ = false;
    std::unique_ptr<Win32LayeredBitmap> bitmap_;
};

}  // namespace Toolkit
