#pragma once
// The heart of one skinned window, without any windowing system: it owns the control tree and
// the window-local resources, runs the layout, paints, tracks mouse and keyboard state, hit
// tests the caption, runs control timers, and delivers notifications synchronously (the
// sender's delegates, then every receiver) or through its asynchronous queue.
//
// Thread: the thread that creates it (the user-interface thread), except PostNotify(), which
// any thread may call. Debug and sanitizer builds stop the process when another thread lays
// out, paints, feeds input, notifies synchronously or changes the tree.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "toolkit/Control.h"
#include "toolkit/Events.h"
#include "toolkit/Painter.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/Scheduler.h"
#include "toolkit/ThreadCheck.h"

namespace Toolkit {

class IPopupList;

// What the platform window offers the paint manager. Offscreen use has no host.
class IWindowHost {
public:
    virtual ~IWindowHost() = default;
    virtual void InvalidateRect(const Rect& rect) = 0;
    // The layout was recomputed: native children (edit fields) follow their controls.
    virtual void LayoutChanged() {}
    // Keyboard focus moved to `control` (null: none); an edit takes the native focus.
    virtual void FocusChanged(CControlUI* control) { (void)control; }
    // `owner` asks for its pop-up list (see IPopupList); false when the host has none.
    virtual bool ShowPopup(CControlUI* owner, IPopupList* list) {
        (void)owner, (void)list;
        return false;
    }
    // The state of `control`'s native peer changed in code (text set): the peer follows.
    virtual void PeerChanged(CControlUI* control) { (void)control; }
    // A control is going away: drop native peers that refer to it.
    virtual void ControlRemoved(CControlUI* control) { (void)control; }
};

enum class HitTest { Client, Caption, Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    void SetHost(IWindowHost* host) { host_ = host; }
    IWindowHost* GetHost() const { return host_; }
    void SetScheduler(IScheduler* scheduler) { scheduler_ = scheduler; }
    IScheduler& Scheduler() const { return scheduler_ ? *scheduler_ : DefaultScheduler(); }

    // ---- tree ----
    // Takes ownership of the root, attaches every control and calls DoInit on each.
    void AttachRoot(std::unique_ptr<CControlUI> root);
    CControlUI* GetRoot() const { return root_.get(); }
    // Releases the tree (kills its timers, drops queued notifications).
    void DetachRoot();
    CControlUI* FindControl(const std::wstring& name) const;
    CControlUI* FindControlAt(Point pt) const;
    // A control leaves the tree (container removal or destruction): forget every reference.
    void ControlRemoved(CControlUI* control);

    // ---- window properties from the "Window" element ----
    // Returns false for a name the window does not know.
    bool SetWindowAttribute(std::wstring_view name, std::wstring_view value);
    Size GetInitSize() const { return initSize_; }
    void SetInitSize(Size size) { initSize_ = size; }
    const Rect& GetCaptionRect() const { return caption_; }
    void SetCaptionRect(const Rect& rect) { caption_ = rect; }
    Size GetRoundCorner() const { return roundCorner_; }
    const Rect& GetSizeBox() const { return sizeBox_; }
    Size GetMinInfo() const { return minInfo_; }
    Size GetMaxInfo() const { return maxInfo_; }
    const ShadowStyle& GetShadow() const { return shadow_; }
    Color GetDefaultTextColor() const { return defaultTextColor_; }
    Color GetDisabledTextColor() const { return disabledTextColor_; }

    // ---- resources: window-local first, then shared ----
    ResourceSet& LocalResources() { return local_; }
    FontInfo GetFont(int id) const;   // id < 0 or unknown: the default font
    FontInfo GetDefaultFont() const;
    const std::wstring* FindStyle(const std::wstring& name) const;
    const std::wstring* FindDefaultAttributes(std::wstring_view controlClass) const;

    // ---- layout and paint ----
    void SetClientSize(Size size);
    Size GetClientSize() const { return clientSize_; }
    void NeedUpdate();
    bool IsUpdateNeeded() const { return needUpdate_; }
    // Runs the layout when needed (Paint() does this itself).
    void UpdateLayout();
    void Invalidate(const Rect& rect);
    void Invalidate();
    // Runs a pending layout for a paint about to draw `dirty` (client coordinates) within the
    // clip of `cr`: controls that move inside that area ask the host for no repaint (that paint
    // draws them), so a layout no longer costs a second frame. A clip that is no list of
    // rectangles in user space covers nothing.
    void UpdateLayoutFor(cairo_t* cr, const Rect& dirty);
    // Paints the part of the window inside `dirty` (client coordinates) on `cr`, after
    // UpdateLayoutFor(cr, dirty).
    void Paint(cairo_t* cr, const Rect& dirty);
    // Forces every control to be drawn in the given state (skin-preview).
    void ForceState(CControlUI* control, std::uint32_t state, bool disabled);

    // ---- input (client coordinates) ----
    void OnMouseMove(Point pt);
    void OnMouseLeave();
    void OnButtonDown(Point pt, std::uint32_t modifiers = 0);
    void OnButtonUp(Point pt, std::uint32_t modifiers = 0);
    // Filters first (WM_KEYDOWN), then Tab navigation, then the focused control. True when
    // the key was used.
    bool OnKeyDown(std::uintptr_t vk, std::uint32_t modifiers = 0);
    HitTest HitTestPoint(Point pt, bool maximized) const;
    CControlUI* GetHot() const { return hot_; }
    CControlUI* GetCapture() const { return capture_; }

    // ---- focus ----
    CControlUI* GetFocus() const { return focus_; }
    void SetFocus(CControlUI* control, bool byKeyboard = false);
    // Moves focus to the next (or previous) focusable control in document order, wrapping.
    bool MoveFocus(bool forward);
    // The focus ring is shown once the keyboard has been used in the window.
    bool IsFocusVisible() const { return focusVisible_; }
    void SetFocusVisible(bool on);

    // ---- message filters ----
    void AddMessageFilter(IMessageFilterUI* filter);
    void RemoveMessageFilter(IMessageFilterUI* filter);
    // Gives a message to the filters in order; true when one handled it.
    bool PreMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result);

    // ---- notifications ----
    void AddNotifier(INotifyUI* receiver);
    void RemoveNotifier(INotifyUI* receiver);
    // Synchronous: the sender's delegates, then every receiver, before this returns.
    void SendNotify(TNotifyUI& msg);
    void SendNotify(CControlUI* sender, const std::wstring& type, std::intptr_t wParam = 0, std::intptr_t lParam = 0,
                    bool async = false);
    // Asynchronous, from any thread: queued and delivered in order on the scheduler's thread.
    void PostNotify(CControlUI* sender, const std::wstring& type, std::intptr_t wParam = 0, std::intptr_t lParam = 0);
    // Delivers the oldest queued notification and posts a further turn for the rest (run by
    // the scheduler; one per turn so a nested loop started by a receiver still gets the rest).
    void DeliverQueued();

    // ---- control timers ----
    bool SetTimer(CControlUI* control, std::uintptr_t id, unsigned periodMs);
    void KillTimer(CControlUI* control, std::uintptr_t id);
    void KillTimers(CControlUI* control);
    bool HasTimer(CControlUI* control, std::uintptr_t id) const;

private:
    struct AsyncQueue;
    void PostDelivery(const std::shared_ptr<AsyncQueue>& queue);
    void CollectFocusable(CControlUI* control, std::vector<CControlUI*>& out) const;
    void SetHot(CControlUI* control);

    ThreadCheck thread_;  // the thread that made the manager owns it
    IWindowHost* host_ = nullptr;
    IScheduler* scheduler_ = nullptr;
    std::unique_ptr<CControlUI> root_;
    ResourceSet local_;
    Size initSize_;
    Rect caption_;
    Size roundCorner_;
    Rect sizeBox_;
    Size minInfo_, maxInfo_;
    ShadowStyle shadow_;
    Color defaultTextColor_ = 0xFF000000;
    Color disabledTextColor_ = 0xFFA7A6AA;
    Size clientSize_;
    bool needUpdate_ = true;
    std::vector<Rect> covered_;  // while Paint() lays out: the areas it is about to paint
    CControlUI* hot_ = nullptr;
    CControlUI* capture_ = nullptr;
    CControlUI* focus_ = nullptr;
    bool focusVisible_ = false;
    std::vector<IMessageFilterUI*> filters_;
    std::vector<INotifyUI*> notifiers_;
    std::shared_ptr<AsyncQueue> queue_;
    std::map<std::pair<CControlUI*, std::uintptr_t>, std::uintptr_t> timers_;  // -> scheduler handle
};

}  // namespace Toolkit
