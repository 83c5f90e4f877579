#include "toolkit/Control.h"

#include <cairo.h>

#include <algorithm>

#include "toolkit/PaintManager.h"
#include "toolkit/Painter.h"
#include "toolkit/ResourceSet.h"
#include "utils/StringUtils.h"

namespace Toolkit {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (manager_) manager_->ControlRemoved(this);
}

bool CControlUI::IsCaptionPassive() const {
    static const std::wstring_view passive[] = {L"Control",        L"Text",           L"Label",
                                                L"Container",      L"VerticalLayout", L"HorizontalLayout",
                                                L"TabLayout",      L"TileLayout",     L"ChildLayout",
                                                L"AnimationTabLayout"};
    const std::wstring_view cls = GetClass();
    return std::find(std::begin(passive), std::end(passive), cls) != std::end(passive);
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    manager_ = manager;
    parent_ = parent;
}

CControlUI* CControlUI::FindFirst(const std::function<bool(CControlUI*)>& visit) { return visit(this) ? this : nullptr; }

CControlUI* CControlUI::FindAt(Point pt, bool mouseOnly) {
    if (!visible_ || !rect_.Contains(pt)) return nullptr;
    if (mouseOnly && !mouseEnabled_) return nullptr;
    return this;
}

void CControlUI::SetPos(const Rect& rect) {
    if (rect == rect_) return;
    Invalidate();
    rect_ = rect;
    Invalidate();
}

void CControlUI::SetFixedWidth(int width) {
    width = std::max(0, width);
    if (width == fixedWidth_) return;
    fixedWidth_ = width;
    NeedUpdate();
}

void CControlUI::SetFixedHeight(int height) {
    height = std::max(0, height);
    if (height == fixedHeight_) return;
    fixedHeight_ = height;
    NeedUpdate();
}

void CControlUI::SetMinWidth(int v) { minWidth_ = std::max(0, v); NeedUpdate(); }
void CControlUI::SetMaxWidth(int v) { maxWidth_ = std::max(0, v); NeedUpdate(); }
void CControlUI::SetMinHeight(int v) { minHeight_ = std::max(0, v); NeedUpdate(); }
void CControlUI::SetMaxHeight(int v) { maxHeight_ = std::max(0, v); NeedUpdate(); }

void CControlUI::SetPadding(const Rect& padding) {
    padding_ = padding;
    NeedUpdate();
}

Size CControlUI::EstimateSize(Size) { return {fixedWidth_, fixedHeight_}; }

bool CControlUI::IsReallyVisible() const {
    for (const CControlUI* c = this; c; c = c->parent_)
        if (!c->visible_) return false;
    return true;
}

void CControlUI::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (!visible && manager_) {
        // Hiding a control hides the focus it or a descendant holds.
        for (const CControlUI* c = manager_->GetFocus(); c; c = c->parent_)
            if (c == this) {
                manager_->SetFocus(nullptr);
                break;
            }
    }
    NeedUpdate();
}

void CControlUI::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (!enabled) state_ &= ~(UISTATE_HOT | UISTATE_PUSHED | UISTATE_CAPTURED);
    Invalidate();
}

bool CControlUI::IsFocused() const { return manager_ && manager_->GetFocus() == this; }

void CControlUI::SetFocus() {
    if (manager_) manager_->SetFocus(this);
}

void CControlUI::SetText(const std::wstring& text) {
    if (text == text_) return;
    text_ = text;
    Invalidate();
}

std::wstring CControlUI::GetDisplayText() const { return resourceText_ ? LookupText(text_) : text_; }

std::wstring CControlUI::GetDisplayToolTip() const { return resourceText_ ? LookupText(toolTip_) : toolTip_; }

void CControlUI::SetResourceText(bool on) {
    resourceText_ = on;
    Invalidate();
}

void CControlUI::SetBkColor(Color color) {
    bkColor_ = color;
    Invalidate();
}

void CControlUI::SetBkImage(const std::wstring& descriptor) {
    if (descriptor == bkImageText_) return;
    bkImageText_ = descriptor;
    Invalidate();
}

bool CControlUI::DrawsBackground() const {
    const bool borderShows = (borderColor_ >> 24) != 0 &&
                             (borderSize_ > 0 || (hasSideBorders_ && (sideBorders_.left > 0 || sideBorders_.top > 0 ||
                                                                       sideBorders_.right > 0 || sideBorders_.bottom > 0)));
    return !bkImageText_.empty() || (bkColor_ >> 24) != 0 || borderShows;
}

void CControlUI::SetBorderColor(Color color) {
    borderColor_ = color;
    Invalidate();
}

void CControlUI::SetBorderSize(int size) {
    borderSize_ = std::max(0, size);
    hasSideBorders_ = false;
    Invalidate();
}

void CControlUI::SetAttribute(std::wstring_view rawName, std::wstring_view value) {
    const std::wstring name = Utils::AsciiLower(std::wstring(rawName));
    const std::wstring v(value);
    if (name == L"name") name_ = v;
    else if (name == L"width") SetFixedWidth(ParseLength(value));
    else if (name == L"height") SetFixedHeight(ParseLength(value));
    else if (name == L"minwidth") SetMinWidth(ParseLength(value));
    else if (name == L"maxwidth") SetMaxWidth(ParseLength(value));
    else if (name == L"minheight") SetMinHeight(ParseLength(value));
    else if (name == L"maxheight") SetMaxHeight(ParseLength(value));
    else if (name == L"padding") SetPadding(ParseRect(value));
    else if (name == L"visible") SetVisible(ParseBool(value));
    else if (name == L"enabled") SetEnabled(ParseBool(value));
    else if (name == L"mouse") mouseEnabled_ = ParseBool(value);
    else if (name == L"keyboard") keyboardEnabled_ = ParseBool(value);
    else if (name == L"float") float_ = ParseBool(value);
    else if (name == L"pos") {
        floatPos_ = ParseRect(value);
        SetFixedWidth(floatPos_.Width());
        SetFixedHeight(floatPos_.Height());
    } else if (name == L"bkcolor") SetBkColor(ParseColor(value));
    else if (name == L"bkimage") SetBkImage(v);
    else if (name == L"bordersize") {
        // One number for all sides, or four for left, top, right, bottom.
        if (v.find(L',') != std::wstring::npos) {
            sideBorders_ = ParseRect(value);
            hasSideBorders_ = true;
            borderSize_ = 0;
        } else {
            SetBorderSize(ParseLength(value));
        }
    } else if (name == L"bordercolor") SetBorderColor(ParseColor(value));
    else if (name == L"borderround") borderRound_ = ParseSize(value);
    else if (name == L"text") SetText(v);
    else if (name == L"resourcetext") SetResourceText(ParseBool(value));
    else if (name == L"userdata") userData_ = v;
    else if (name == L"tooltip") toolTip_ = v;
    else if (name == L"style") {
        const std::wstring* style = manager_ ? manager_->FindStyle(v) : SharedResources().FindStyle(v);
        if (style) ApplyAttributeList(*style);
        SetCustomAttribute(L"style", v);
    } else {
        SetCustomAttribute(std::wstring(rawName), v);
        unknownAttribute_ = true;
    }
}

bool CControlUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    unknownAttribute_ = false;
    SetAttribute(name, value);
    return !unknownAttribute_;
}

void CControlUI::ApplyAttributeList(std::wstring_view list) {
    // A style's own unknown names do not make the attribute that applied it unknown.
    const bool outerUnknown = unknownAttribute_;
    struct Restore {
        bool& flag;
        bool value;
        ~Restore() { flag = value; }
    } restore{unknownAttribute_, outerUnknown};
    size_t pos = 0;
    while (pos < list.size()) {
        while (pos < list.size() && (list[pos] == L' ' || list[pos] == L'\t' || list[pos] == L'\r' || list[pos] == L'\n'))
            ++pos;
        const size_t eq = list.find(L'=', pos);
        if (eq == std::wstring_view::npos || eq + 1 >= list.size()) return;
        const wchar_t quote = list[eq + 1];
        if (quote != L'"' && quote != L'\'') return;
        const size_t close = list.find(quote, eq + 2);
        if (close == std::wstring_view::npos) return;
        std::wstring_view name = list.substr(pos, eq - pos);
        while (!name.empty() && name.back() == L' ') name.remove_suffix(1);
        SetAttribute(name, list.substr(eq + 2, close - eq - 2));
        pos = close + 1;
    }
}

void CControlUI::SetCustomAttribute(const std::wstring& name, const std::wstring& value) { custom_[name] = value; }

const std::wstring* CControlUI::GetCustomAttribute(const std::wstring& name) const {
    auto it = custom_.find(name);
    return it == custom_.end() ? nullptr : &it->second;
}

void CControlUI::RunDelegates(TNotifyUI& msg) {
    // A copy: a delegate may add delegates while it runs.
    const auto delegates = delegates_;
    for (const auto& d : delegates)
        if (d && !d(msg)) break;
}

void CControlUI::Notify(const std::wstring& type, std::intptr_t wParam, std::intptr_t lParam, bool async) {
    if (manager_) manager_->SendNotify(this, type, wParam, lParam, async);
}

void CControlUI::DoEvent(TEventUI& event) {
    switch (event.type) {
        case EventType::Timer: Notify(L"timer", static_cast<std::intptr_t>(event.key)); break;
        case EventType::SetFocus: state_ |= UISTATE_FOCUSED; Invalidate(); break;
        case EventType::KillFocus: state_ &= ~UISTATE_FOCUSED; Invalidate(); break;
        default: break;
    }
}

bool CControlUI::Activate() { return IsReallyVisible() && IsEnabled(); }

bool CControlUI::SetTimer(std::uintptr_t id, unsigned periodMs) {
    return manager_ && manager_->SetTimer(this, id, periodMs);
}

void CControlUI::KillTimer(std::uintptr_t id) {
    if (manager_) manager_->KillTimer(this, id);
}

void CControlUI::Invalidate() {
    if (manager_ && !rect_.IsEmpty()) manager_->Invalidate(rect_);
}

void CControlUI::NeedUpdate() {
    if (manager_) manager_->NeedUpdate();
}

void CControlUI::DoPaint(cairo_t* cr, const Rect& dirty) {
    if (!visible_ || rect_.Intersect(dirty).IsEmpty()) return;
    cairo_save(cr);
    cairo_rectangle(cr, rect_.left, rect_.top, rect_.Width(), rect_.Height());
    cairo_clip(cr);
    const bool rounded = borderRound_.cx > 1 && borderRound_.cy > 1;
    if (rounded) {
        // Background and images follow the rounded border.
        cairo_save(cr);
        Paint::RoundedRectPath(cr, rect_.left, rect_.top, rect_.Width(), rect_.Height(), borderRound_);
        cairo_clip(cr);
    }
    PaintBkColor(cr);
    PaintBkImage(cr);
    PaintStatusImage(cr);
    if (rounded) cairo_restore(cr);
    PaintText(cr);
    PaintBorder(cr);
    if (manager_ && manager_->IsFocusVisible() && IsFocused()) Paint::DrawFocusRing(cr, rect_, borderRound_);
    cairo_restore(cr);
}

void CControlUI::PaintBkColor(cairo_t* cr) {
    if ((bkColor_ >> 24) == 0) return;
    Paint::FillRect(cr, rect_, bkColor_);
}

void CControlUI::PaintBkImage(cairo_t* cr) {
    if (!bkImageText_.empty()) DrawImage(cr, bkImageText_);
}

void CControlUI::CollectShownImages(std::vector<std::wstring>& descriptors) const {
    if (!bkImageText_.empty()) descriptors.push_back(bkImageText_);
}

void CControlUI::PaintBorder(cairo_t* cr) {
    if (hasSideBorders_) {
        Paint::DrawSideBorders(cr, rect_, sideBorders_, borderColor_);
        return;
    }
    Paint::DrawBorder(cr, rect_, borderSize_, borderColor_, borderRound_);
}

bool CControlUI::DrawImage(cairo_t* cr, const std::wstring& descriptor) { return DrawImage(cr, descriptor, rect_); }

bool CControlUI::DrawImage(cairo_t* cr, const std::wstring& descriptor, const Rect& rect) {
    if (descriptor.empty()) return false;
    auto it = parsedImages_.find(descriptor);
    if (it == parsedImages_.end()) it = parsedImages_.emplace(descriptor, ParseImageDescriptor(descriptor)).first;
    return Paint::DrawImage(cr, it->second, rect);
}

}  // namespace Toolkit
