#pragma once
// Screen-reader access to a skinned window through UI Automation. A window drawn entirely by
// the toolkit is one opaque surface to assistive technology, so the window answers
// WM_GETOBJECT with a provider of its own: the window is the fragment root (the system's
// provider for the window handle adds name, frame and window pattern), its one child is the
// root control, and every visible control is an element below it with its control type, name
// (the text shown), screen rectangle, states, and for buttons an invoke, for check boxes a
// toggle and for progress bars a read-only range value. Elements are made when a client first
// reaches them and disconnected from the automation core when their control goes.
//
// Threads: everything here, and every provider call that does any work, runs on the window's
// user-interface thread, the thread that made this object and on which controls are changed
// and destroyed. The providers ask for COM threading, so an apartment-threaded UI thread gets
// the core's calls marshalled to it; a call that arrives on another thread all the same is
// refused (RPC_E_WRONG_THREAD) rather than read a control that thread does not own. Reference
// counts may change on any thread.
//
// Include after "utils/WindowsApi_win32.h".
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "toolkit/Geometry.h"
#include "toolkit/Win32AccessibleApi_win32.h"

namespace Toolkit {

class CControlUI;
class Win32AccessibleElement;
class Win32AccessibleRoot;
class Win32WindowHost;

class Win32Accessibility {
public:
    explicit Win32Accessibility(Win32WindowHost& host, Win32AccessibleApi api = Win32AccessibleApi::System());
    ~Win32Accessibility();
    Win32Accessibility(const Win32Accessibility&) = delete;
    Win32Accessibility& operator=(const Win32Accessibility&) = delete;

    // ---- for the window host ----
    // WM_GETOBJECT: the result for a UI Automation request, nothing for other object ids (the
    // window procedure's default handling answers those).
    std::optional<std::intptr_t> OnGetObject(std::uintptr_t wParam, std::intptr_t lParam);
    // The toolkit moved keyboard focus (`to` null: no control has it): listening clients are
    // told of the element that has it now.
    void FocusMoved(CControlUI* from, CControlUI* to);
    // `control` is going away: its element answers "not available" from now on.
    void Removed(CControlUI* control);
    // The window is going away: every element, the root's included, is disconnected. A later
    // request starts afresh.
    void Clear();
    // The window's root provider (a new reference): what WM_GETOBJECT hands out.
    IRawElementProviderSimple* RootProvider();

    // ---- for the providers (UI thread) ----
    // The element of `control`, made on first use; borrowed (this object holds a reference
    // until the control goes or Clear()).
    Win32AccessibleElement* ElementOf(CControlUI* control);
    // The window's fragment root, made on first use; borrowed like the elements.
    Win32AccessibleRoot* Root();
    // The controls a client sees directly below the window (see AccessibleTree.h).
    std::vector<CControlUI*> TopLevelControls() const;
    // The children a client sees below an exposed control, in document order: spacers left
    // out, grouping containers replaced by their own children.
    static std::vector<CControlUI*> ExposedChildren(const CControlUI* control);
    // A client rectangle in physical screen pixels.
    Rect ScreenPixelsOf(const Rect& client) const;
    // The deepest exposed control at a point in physical screen pixels, or null (the window).
    CControlUI* ControlAtScreen(double x, double y) const;
    CControlUI* FocusedControl() const;
    // True while the window exists and is shown (not minimised).
    bool WindowShown() const;
    HWND Window() const;
    // Runs `work` on the UI thread from its queue, after the current provider call returned.
    void Post(std::function<void()> work);
    const Win32AccessibleApi& Api() const { return api_; }

private:
    void Disconnect(IRawElementProviderSimple* provider);

    Win32WindowHost& host_;
    Win32AccessibleApi api_;
    Win32AccessibleRoot* root_ = nullptr;                          // one reference
    std::map<CControlUI*, Win32AccessibleElement*> elements_;      // one reference each
    int nextId_ = 1;                                                // runtime ids, never reused
};

}  // namespace Toolkit
