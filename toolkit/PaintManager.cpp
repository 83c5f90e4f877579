#include "toolkit/PaintManager.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "toolkit/Container.h"
#include "utils/StringUtils.h"

namespace Toolkit {

// The asynchronous queue outlives the manager when work is already posted: the posted
// delivery finds `owner` null and drops the queue.
struct CPaintManagerUI::AsyncQueue {
    std::mutex mutex;
    std::deque<TNotifyUI> items;
    bool deliveryPosted = false;
    CPaintManagerUI* owner = nullptr;  // changed on the user-interface thread only
};

CPaintManagerUI::CPaintManagerUI() : queue_(std::make_shared<AsyncQueue>()) { queue_->owner = this; }

CPaintManagerUI::~CPaintManagerUI() {
    DetachRoot();
    std::lock_guard lock(queue_->mutex);
    queue_->owner = nullptr;
    queue_->items.clear();
}

void CPaintManagerUI::AttachRoot(std::unique_ptr<CControlUI> root) {
    thread_.Check("CPaintManagerUI::AttachRoot");
    DetachRoot();
    root_ = std::move(root);
    if (!root_) return;
    root_->SetManager(this, nullptr);
    std::vector<CControlUI*> all;
    root_->FindFirst([&](CControlUI* c) {
        all.push_back(c);
        return false;
    });
    for (CControlUI* c : all) c->DoInit();
    NeedUpdate();
}

void CPaintManagerUI::DetachRoot() {
    thread_.Check("CPaintManagerUI::DetachRoot");
    if (!root_) return;
    std::unique_ptr<CControlUI> old = std::move(root_);
    old.reset();  // each control's destructor reports itself through ControlRemoved
    hot_ = capture_ = focus_ = nullptr;
}

CControlUI* CPaintManagerUI::FindControl(const std::wstring& name) const {
    if (!root_ || name.empty()) return nullptr;
    return root_->FindFirst([&](CControlUI* c) { return c->GetName() == name; });
}

CControlUI* CPaintManagerUI::FindControlAt(Point pt) const { return root_ ? root_->FindAt(pt, false) : nullptr; }

void CPaintManagerUI::ControlRemoved(CControlUI* control) {
    if (hot_ == control) hot_ = nullptr;
    if (capture_ == control) capture_ = nullptr;
    if (focus_ == control) {
        focus_ = nullptr;
        if (host_) host_->FocusChanged(nullptr);
    }
    KillTimers(control);
    {
        std::lock_guard lock(queue_->mutex);
        auto& q = queue_->items;
        q.erase(std::remove_if(q.begin(), q.end(), [&](const TNotifyUI& n) { return n.sender == control; }), q.end());
    }
    if (host_) host_->ControlRemoved(control);
    NeedUpdate();
}

bool CPaintManagerUI::SetWindowAttribute(std::wstring_view rawName, std::wstring_view value) {
    const std::wstring name = Utils::AsciiLower(std::wstring(rawName));
    if (name == L"size") initSize_ = ParseSize(value);
    else if (name == L"caption") caption_ = ParseRect(value);
    else if (name == L"roundcorner") roundCorner_ = ParseSize(value);
    else if (name == L"sizebox") sizeBox_ = ParseRect(value);
    else if (name == L"mininfo") minInfo_ = ParseSize(value);
    else if (name == L"maxinfo") maxInfo_ = ParseSize(value);
    else if (name == L"showshadow") shadow_.show = ParseBool(value);
    else if (name == L"shadowsize") shadow_.size = std::clamp(ParseInt(value), 0, 40);
    else if (name == L"shadowsharpness") shadow_.sharpness = std::clamp(ParseInt(value), 0, 20);
    else if (name == L"shadowdarkness") shadow_.darkness = std::clamp(ParseInt(value), 0, 255);
    else if (name == L"shadowposition") {
        const Size s = ParseSize(value);
        shadow_.position = {std::clamp(s.cx, -20, 20), std::clamp(s.cy, -20, 20)};
    } else if (name == L"shadowcolor") shadow_.color = ParseColor(value);
    else if (name == L"defaultfontcolor") defaultTextColor_ = ParseColor(value);
    else if (name == L"disabledfontcolor") disabledTextColor_ = ParseColor(value);
    else return false;
    return true;
}

FontInfo CPaintManagerUI::GetDefaultFont() const {
    if (const FontInfo* f = local_.DefaultFont()) return *f;
    if (const FontInfo* f = SharedResources().DefaultFont()) return *f;
    return FontInfo{L"", 14};
}

FontInfo CPaintManagerUI::GetFont(int id) const {
    if (id >= 0) {
        if (const FontInfo* f = local_.FindFont(id)) return *f;
        if (const FontInfo* f = SharedResources().FindFont(id)) return *f;
    }
    return GetDefaultFont();
}

const std::wstring* CPaintManagerUI::FindStyle(const std::wstring& name) const {
    if (const std::wstring* s = local_.FindStyle(name)) return s;
    return SharedResources().FindStyle(name);
}

const std::wstring* CPaintManagerUI::FindDefaultAttributes(std::wstring_view controlClass) const {
    const std::wstring cls(controlClass);
    if (const std::wstring* s = local_.FindDefaultAttributes(cls)) return s;
    return SharedResources().FindDefaultAttributes(cls);
}

void CPaintManagerUI::SetClientSize(Size size) {
    if (size == clientSize_) return;
    clientSize_ = size;
    NeedUpdate();
}

void CPaintManagerUI::NeedUpdate() {
    thread_.Check("CPaintManagerUI::NeedUpdate");
    needUpdate_ = true;
    Invalidate();
}

void CPaintManagerUI::UpdateLayout() {
    thread_.Check("CPaintManagerUI::UpdateLayout");
    if (!needUpdate_) return;
    needUpdate_ = false;
    if (root_) root_->SetPos({0, 0, clientSize_.cx, clientSize_.cy});
    // Laying out may itself mark the layout dirty (a label sizing to its text): one more pass.
    if (needUpdate_ && root_) {
        needUpdate_ = false;
        root_->SetPos({0, 0, clientSize_.cx, clientSize_.cy});
    }
    needUpdate_ = false;
    if (host_) host_->LayoutChanged();
}

void CPaintManagerUI::Invalidate(const Rect& rect) {
    thread_.Check("CPaintManagerUI::Invalidate");
    if (!host_) return;
    if (covered_.empty()) {
        host_->InvalidateRect(rect);
        return;
    }
    if (rect.IsEmpty()) return;
    // Inside a paint's layout: only the parts that paint does not draw.
    const cairo_rectangle_int_t whole{rect.left, rect.top, rect.Width(), rect.Height()};
    cairo_region_t* left = cairo_region_create_rectangle(&whole);
    for (const Rect& c : covered_) {
        const cairo_rectangle_int_t r{c.left, c.top, c.Width(), c.Height()};
        cairo_region_subtract_rectangle(left, &r);
    }
    for (int i = 0; i < cairo_region_num_rectangles(left); ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(left, i, &r);
        host_->InvalidateRect({r.x, r.y, r.x + r.width, r.y + r.height});
    }
    cairo_region_destroy(left);
}

void CPaintManagerUI::Invalidate() { Invalidate({0, 0, clientSize_.cx, clientSize_.cy}); }

void CPaintManagerUI::UpdateLayoutFor(cairo_t* cr, const Rect& dirty) {
    thread_.Check("CPaintManagerUI::UpdateLayoutFor");
    if (!needUpdate_) return;
    cairo_rectangle_list_t* clip = cairo_copy_clip_rectangle_list(cr);
    if (clip->status == CAIRO_STATUS_SUCCESS) {
        for (int i = 0; i < clip->num_rectangles; ++i) {
            // Only whole pixels inside the clip count as painted.
            const cairo_rectangle_t& r = clip->rectangles[i];
            const Rect inside{static_cast<int>(std::ceil(r.x)), static_cast<int>(std::ceil(r.y)),
                              static_cast<int>(std::floor(r.x + r.width)), static_cast<int>(std::floor(r.y + r.height))};
            const Rect cut = inside.Intersect(dirty);
            if (!cut.IsEmpty()) covered_.push_back(cut);
        }
    }
    cairo_rectangle_list_destroy(clip);
    UpdateLayout();
    covered_.clear();
}

void CPaintManagerUI::Paint(cairo_t* cr, const Rect& dirty) {
    thread_.Check("CPaintManagerUI::Paint");
    UpdateLayoutFor(cr, dirty);
    if (root_) root_->DoPaint(cr, dirty);
}

void CPaintManagerUI::ForceState(CControlUI* control, std::uint32_t state, bool disabled) {
    if (!control) return;
    if (disabled) control->SetEnabled(false);
    else control->ForceState(state);
}

// ---- input ----

void CPaintManagerUI::SetHot(CControlUI* control) {
    if (control == hot_) return;
    CControlUI* old = hot_;
    hot_ = control;
    if (old) {
        TEventUI e{EventType::MouseLeave, old};
        old->DoEvent(e);
    }
    if (hot_) {
        TEventUI e{EventType::MouseEnter, hot_};
        hot_->DoEvent(e);
    }
}

void CPaintManagerUI::OnMouseMove(Point pt) {
    thread_.Check("CPaintManagerUI::OnMouseMove");
    if (!root_) return;
    if (capture_) {
        // While a control holds the capture it alone is hot, and only while under the mouse.
        CControlUI* c = capture_;
        SetHot(c->GetPos().Contains(pt) ? c : nullptr);
        if (capture_ == c) {
            TEventUI e{EventType::MouseMove, c, pt};
            c->DoEvent(e);
        }
        return;
    }
    CControlUI* under = root_->FindAt(pt, true);
    if (under && !under->IsEnabled()) under = nullptr;
    SetHot(under);
    if (hot_) {
        TEventUI e{EventType::MouseMove, hot_, pt};
        hot_->DoEvent(e);
    }
}

void CPaintManagerUI::OnMouseLeave() {
    if (!capture_) SetHot(nullptr);
}

void CPaintManagerUI::OnButtonDown(Point pt, std::uint32_t modifiers) {
    thread_.Check("CPaintManagerUI::OnButtonDown");
    if (!root_) return;
    focusVisible_ = false;
    CControlUI* c = root_->FindAt(pt, true);
    if (!c || !c->IsEnabled()) return;
    if (c->IsFocusable()) SetFocus(c);
    capture_ = c;
    SetHot(c);
    TEventUI e{EventType::ButtonDown, c, pt, 0, modifiers};
    c->DoEvent(e);
}

void CPaintManagerUI::OnButtonUp(Point pt, std::uint32_t modifiers) {
    thread_.Check("CPaintManagerUI::OnButtonUp");
    CControlUI* c = capture_;
    capture_ = nullptr;
    if (!c) return;
    TEventUI e{EventType::ButtonUp, c, pt, 0, modifiers};
    c->DoEvent(e);  // may destroy `c` (a click that removes its own button): not used after this
    if (root_) OnMouseMove(pt);
}

bool CPaintManagerUI::OnKeyDown(std::uintptr_t vk, std::uint32_t modifiers) {
    thread_.Check("CPaintManagerUI::OnKeyDown");
    std::intptr_t result = 0;
    if (PreMessage(WM_KEYDOWN, vk, static_cast<std::intptr_t>(modifiers), result)) return true;
    if (vk == Key::Tab && !(modifiers & (Modifier::Control | Modifier::Alt))) {
        SetFocusVisible(true);
        MoveFocus(!(modifiers & Modifier::Shift));
        return true;
    }
    if (!focus_) return false;
    if (vk == Key::Return || vk == Key::Space) SetFocusVisible(true);
    TEventUI e{EventType::KeyDown, focus_, {}, vk, modifiers};
    focus_->DoEvent(e);
    return vk == Key::Return || vk == Key::Space || vk == Key::Up || vk == Key::Down || vk == Key::Left || vk == Key::Right ||
           vk == Key::Home || vk == Key::End || vk == Key::F4;
}

HitTest CPaintManagerUI::HitTestPoint(Point pt, bool maximized) const {
    const int w = clientSize_.cx, h = clientSize_.cy;
    const Rect& box = sizeBox_;
    if (!maximized && (box.left || box.top || box.right || box.bottom)) {
        const bool left = pt.x < box.left, right = pt.x >= w - box.right;
        if (pt.y < box.top) return left ? HitTest::TopLeft : right ? HitTest::TopRight : HitTest::Top;
        if (pt.y >= h - box.bottom) return left ? HitTest::BottomLeft : right ? HitTest::BottomRight : HitTest::Bottom;
        if (left) return HitTest::Left;
        if (right) return HitTest::Right;
    }
    const Rect& c = caption_;
    const int bottom = c.bottom < 0 ? h : c.bottom;
    if (pt.x >= c.left && pt.x < w - c.right && pt.y >= c.top && pt.y < bottom) {
        CControlUI* under = FindControlAt(pt);
        if (!under || under->IsCaptionPassive()) return HitTest::Caption;
    }
    return HitTest::Client;
}

// ---- focus ----

void CPaintManagerUI::SetFocus(CControlUI* control, bool byKeyboard) {
    thread_.Check("CPaintManagerUI::SetFocus");
    if (byKeyboard) focusVisible_ = true;
    if (control == focus_) return;
    CControlUI* old = focus_;
    focus_ = control;
    if (old) {
        TEventUI e{EventType::KillFocus, old};
        old->DoEvent(e);
        SendNotify(old, L"killfocus");
    }
    if (focus_ && focus_ == control) {
        TEventUI e{EventType::SetFocus, focus_};
        focus_->DoEvent(e);
        SendNotify(focus_, L"setfocus");
    }
    if (host_) host_->FocusChanged(focus_);
}

void CPaintManagerUI::SetFocusVisible(bool on) {
    if (on == focusVisible_) return;
    focusVisible_ = on;
    if (focus_) focus_->Invalidate();
}

void CPaintManagerUI::CollectFocusable(CControlUI* control, std::vector<CControlUI*>& out) const {
    control->FindFirst([&](CControlUI* c) {
        if (c->IsFocusable() && c->IsEnabled() && c->IsReallyVisible() && !c->GetPos().IsEmpty()) out.push_back(c);
        return false;
    });
}

bool CPaintManagerUI::MoveFocus(bool forward) {
    if (!root_) return false;
    UpdateLayout();
    std::vector<CControlUI*> order;
    CollectFocusable(root_.get(), order);
    if (order.empty()) return false;
    auto it = std::find(order.begin(), order.end(), focus_);
    size_t next;
    if (it == order.end()) next = forward ? 0 : order.size() - 1;
    else {
        const size_t i = static_cast<size_t>(it - order.begin());
        next = forward ? (i + 1) % order.size() : (i + order.size() - 1) % order.size();
    }
    SetFocus(order[next], true);
    return true;
}

// ---- message filters ----

void CPaintManagerUI::AddMessageFilter(IMessageFilterUI* filter) {
    if (filter && std::find(filters_.begin(), filters_.end(), filter) == filters_.end()) filters_.push_back(filter);
}

void CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* filter) {
    filters_.erase(std::remove(filters_.begin(), filters_.end(), filter), filters_.end());
}

bool CPaintManagerUI::PreMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) {
    const auto filters = filters_;
    for (IMessageFilterUI* f : filters) {
        bool handled = false;
        result = f->MessageHandler(msg, wParam, lParam, handled);
        if (handled) return true;
    }
    return false;
}

// ---- notifications ----

void CPaintManagerUI::AddNotifier(INotifyUI* receiver) {
    if (receiver && std::find(notifiers_.begin(), notifiers_.end(), receiver) == notifiers_.end())
        notifiers_.push_back(receiver);
}

void CPaintManagerUI::RemoveNotifier(INotifyUI* receiver) {
    notifiers_.erase(std::remove(notifiers_.begin(), notifiers_.end(), receiver), notifiers_.end());
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg) {
    thread_.Check("CPaintManagerUI::SendNotify");
    if (msg.sender) msg.sender->RunDelegates(msg);
    const auto receivers = notifiers_;  // a receiver may unregister while it runs
    for (INotifyUI* r : receivers)
        if (std::find(notifiers_.begin(), notifiers_.end(), r) != notifiers_.end()) r->Notify(msg);
}

void CPaintManagerUI::SendNotify(CControlUI* sender, const std::wstring& type, std::intptr_t wParam,
                                 std::intptr_t lParam, bool async) {
    if (async) {
        PostNotify(sender, type, wParam, lParam);
        return;
    }
    TNotifyUI msg{type, sender, wParam, lParam};
    SendNotify(msg);
}

void CPaintManagerUI::PostNotify(CControlUI* sender, const std::wstring& type, std::intptr_t wParam,
                                 std::intptr_t lParam) {
    bool post = false;
    {
        std::lock_guard lock(queue_->mutex);
        queue_->items.push_back(TNotifyUI{type, sender, wParam, lParam});
        if (!queue_->deliveryPosted) {
            queue_->deliveryPosted = true;
            post = true;
        }
    }
    if (post) PostDelivery(queue_);
}

void CPaintManagerUI::PostDelivery(const std::shared_ptr<AsyncQueue>& queue) {
    std::shared_ptr<AsyncQueue> q = queue;
    Scheduler().Post([q] {
        CPaintManagerUI* owner;
        {
            std::lock_guard lock(q->mutex);
            owner = q->owner;
        }
        if (owner) owner->DeliverQueued();
    });
}

void CPaintManagerUI::DeliverQueued() {
    thread_.Check("CPaintManagerUI::DeliverQueued");
    // One notification per scheduler turn, with the next turn posted before it is sent: a
    // receiver may start a nested loop (a modal box), and the notifications queued behind
    // this one - the box's own close request among them - must be delivered inside it.
    std::shared_ptr<AsyncQueue> q = queue_;
    TNotifyUI msg;
    bool more = false;
    {
        std::lock_guard lock(q->mutex);
        if (q->items.empty()) {
            q->deliveryPosted = false;
            return;
        }
        msg = std::move(q->items.front());
        q->items.pop_front();
        more = !q->items.empty();
        if (!more) q->deliveryPosted = false;
    }
    if (more) PostDelivery(q);
    SendNotify(msg);
}

// ---- timers ----

bool CPaintManagerUI::SetTimer(CControlUI* control, std::uintptr_t id, unsigned periodMs) {
    thread_.Check("CPaintManagerUI::SetTimer");
    if (!control) return false;
    KillTimer(control, id);
    const std::uintptr_t handle = Scheduler().StartTimer(periodMs, [this, control, id] {
        TEventUI e{EventType::Timer, control, {}, id};
        control->DoEvent(e);
    });
    timers_[{control, id}] = handle;
    return true;
}

void CPaintManagerUI::KillTimer(CControlUI* control, std::uintptr_t id) {
    auto it = timers_.find({control, id});
    if (it == timers_.end()) return;
    Scheduler().StopTimer(it->second);
    timers_.erase(it);
}

void CPaintManagerUI::KillTimers(CControlUI* control) {
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->first.first == control) {
            Scheduler().StopTimer(it->second);
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
}

bool CPaintManagerUI::HasTimer(CControlUI* control, std::uintptr_t id) const { return timers_.count({control, id}) > 0; }

}  // namespace Toolkit
