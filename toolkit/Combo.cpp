#include "toolkit/Combo.h"

#include <cairo.h>

#include <algorithm>

#include "toolkit/PaintManager.h"
#include "toolkit/Painter.h"
#include "toolkit/TextRenderer.h"
#include "utils/StringUtils.h"

namespace Toolkit {

CComboItemUI* CComboUI::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

CComboItemUI* CComboUI::AddItem(const std::wstring& text) {
    auto item = std::make_unique<CComboItemUI>();
    item->SetText(text);
    CComboItemUI* raw = item.get();
    AddItem(std::move(item));
    return raw;
}

bool CComboUI::AddItem(std::unique_ptr<CComboItemUI> item) {
    if (!item) return false;
    item->SetManager(manager_, this);
    items_.push_back(std::move(item));
    Invalidate();
    return true;
}

void CComboUI::RemoveAll() {
    items_.clear();
    cur_ = -1;
    Invalidate();
}

void CComboUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    CLabelUI::SetManager(manager, parent);
    for (auto& item : items_) item->SetManager(manager, this);
}

bool CComboUI::SelectItem(int index, bool notify) {
    if (index < 0 || index >= GetCount()) return false;
    if (index == cur_) return true;
    const int old = cur_;
    cur_ = index;
    Invalidate();
    if (notify) Notify(L"itemselect", cur_, old);
    return true;
}

void CComboUI::SetDropDownOpen(bool open) {
    open_ = open;
    if (!open) state_ &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
    Invalidate();
}

std::wstring CComboUI::TextToPaint() const {
    const CComboItemUI* item = GetItemAt(cur_);
    return item ? item->GetDisplayText() : GetDisplayText();
}

int CComboUI::GetItemHeight() const {
    if (itemHeight_ > 0) return itemHeight_;
    const FontInfo font = manager_ ? manager_->GetFont(itemFont_) : FontInfo{};
    return std::max(20, font.size * 2) + itemTextPadding_.top + itemTextPadding_.bottom;
}

Size CComboUI::GetDropListSize() const {
    const int width = dropBoxSize_.cx > 0 ? dropBoxSize_.cx : rect_.Width();
    const int maxHeight = dropBoxSize_.cy > 0 ? dropBoxSize_.cy : 300;
    const int content = GetCount() * GetItemHeight() + 2;  // a 1-pixel frame around the items
    return {width, std::min(std::max(content, 2 + GetItemHeight()), maxHeight)};
}

int CComboUI::DropItemAt(Point pt, int scroll) const {
    const int h = GetItemHeight();
    if (pt.y < 1 || pt.x < 0 || h <= 0) return -1;
    const int index = (pt.y - 1 + scroll) / h;
    return index < GetCount() ? index : -1;
}

void CComboUI::PaintDropList(cairo_t* cr, Size size, int hotIndex, int scroll) const {
    const Rect all{0, 0, size.cx, size.cy};
    Paint::FillRect(cr, all, itemBkColor_ ? itemBkColor_ : 0xFFFFFFFF);
    const int h = GetItemHeight();
    const FontInfo font = manager_ ? manager_->GetFont(itemFont_) : FontInfo{};
    cairo_save(cr);
    cairo_rectangle(cr, 1, 1, size.cx - 2, size.cy - 2);
    cairo_clip(cr);
    for (int i = 0; i < GetCount(); ++i) {
        const Rect row{1, 1 + i * h - scroll, size.cx - 1, 1 + (i + 1) * h - scroll};
        if (row.bottom <= 0 || row.top >= size.cy) continue;
        Color bk = 0, fg = itemTextColor_;
        if (i == hotIndex) {
            bk = itemHotBkColor_;
            if (itemHotTextColor_) fg = itemHotTextColor_;
        } else if (i == cur_) {
            bk = itemSelectedBkColor_;
            if (itemSelectedTextColor_) fg = itemSelectedTextColor_;
        }
        if (bk) Paint::FillRect(cr, row, bk);
        if (!fg) fg = manager_ ? manager_->GetDefaultTextColor() : 0xFF333333;
        Text::Draw(cr, items_[static_cast<size_t>(i)]->GetDisplayText(), row.Deflate(itemTextPadding_), font, fg,
                   TextStyle{itemAlign_, VAlign::Center, false, true});
    }
    cairo_restore(cr);
    Paint::DrawBorder(cr, all, 1, dropBorderColor_);
}

Rect CComboUI::PlaceDropList(const Rect& box, Size list, const Rect& work, bool dropUp) {
    const Rect below{box.left, box.bottom, box.left + list.cx, box.bottom + list.cy};
    const Rect above{box.left, box.top - list.cy, box.left + list.cx, box.top};
    const bool fitsBelow = work.IsEmpty() || below.bottom <= work.bottom;
    const bool fitsAbove = work.IsEmpty() || above.top >= work.top;
    Rect r = dropUp ? above : below;
    if (dropUp && !fitsAbove && fitsBelow) r = below;
    if (!dropUp && !fitsBelow && fitsAbove) r = above;
    if (!work.IsEmpty()) {
        if (r.right > work.right) r = r.Offset(work.right - r.right, 0);
        if (r.left < work.left) r = r.Offset(work.left - r.left, 0);
    }
    return r;
}

bool CComboUI::Activate() {
    if (!CControlUI::Activate()) return false;
    if (manager_ && manager_->GetHost() && GetCount() > 0) manager_->GetHost()->ShowPopup(this, this);
    return true;
}

bool CComboUI::AddChild(std::unique_ptr<CControlUI>& child) {
    auto* item = dynamic_cast<CComboItemUI*>(child.get());
    if (!item) return false;
    const std::wstring* selected = item->GetCustomAttribute(L"selected");
    const bool select = selected && ParseBool(*selected);
    child.release();
    AddItem(std::unique_ptr<CComboItemUI>(item));
    if (select) SelectItem(GetCount() - 1, false);
    return true;
}

void CComboUI::DoEvent(TEventUI& event) {
    if (!IsEnabled() && event.type != EventType::Timer) {
        CLabelUI::DoEvent(event);
        return;
    }
    switch (event.type) {
        case EventType::MouseEnter: state_ |= UISTATE_HOT; Invalidate(); break;
        case EventType::MouseLeave: state_ &= ~UISTATE_HOT; Invalidate(); break;
        case EventType::ButtonDown:
            state_ |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
            break;
        case EventType::ButtonUp:
            if (state_ & UISTATE_CAPTURED) {
                const bool inside = rect_.Contains(event.pt);
                state_ &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
                Invalidate();
                if (inside) Activate();
            }
            break;
        case EventType::KeyDown:
            if (event.key == Key::Up || event.key == Key::Left) SelectItem(std::max(0, cur_ - 1));
            else if (event.key == Key::Down && (event.modifiers & Modifier::Alt)) Activate();
            else if (event.key == Key::Down || event.key == Key::Right) SelectItem(std::min(GetCount() - 1, cur_ + 1));
            else if (event.key == Key::Home) SelectItem(0);
            else if (event.key == Key::End) SelectItem(GetCount() - 1);
            else if (event.key == Key::Return || event.key == Key::Space || event.key == Key::F4) Activate();
            break;
        default: CLabelUI::DoEvent(event); break;
    }
}

void CComboUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    const std::wstring lower = Utils::AsciiLower(std::wstring(name));
    const std::wstring v(value);
    if (lower == L"dropup") dropUp_ = ParseBool(value);
    else if (lower == L"itemfont") itemFont_ = ParseInt(value);
    else if (lower == L"itemtextpadding") itemTextPadding_ = ParseRect(value);
    else if (lower == L"itemheight") itemHeight_ = std::max(0, ParseLength(value));
    else if (lower == L"itemalign") {
        TextStyle s{itemAlign_};
        ApplyAlign(s, value);
        itemAlign_ = s.hAlign;
    } else if (lower == L"itemtextcolor") itemTextColor_ = ParseColor(value);
    else if (lower == L"itembkcolor") itemBkColor_ = ParseColor(value);
    else if (lower == L"itemhottextcolor") itemHotTextColor_ = ParseColor(value);
    else if (lower == L"itemhotbkcolor") itemHotBkColor_ = ParseColor(value);
    else if (lower == L"itemselectedtextcolor") itemSelectedTextColor_ = ParseColor(value);
    else if (lower == L"itemselectedbkcolor") itemSelectedBkColor_ = ParseColor(value);
    else if (lower == L"dropboxbordercolor") dropBorderColor_ = ParseColor(value);
    else if (lower == L"dropboxsize") dropBoxSize_ = ParseSize(value);
    else if (lower == L"normalimage") normalImage_ = v;
    else if (lower == L"hotimage") hotImage_ = v;
    else if (lower == L"pushedimage") pushedImage_ = v;
    else if (lower == L"focusedimage") focusedImage_ = v;
    else if (lower == L"disabledimage") disabledImage_ = v;
    else {
        CLabelUI::SetAttribute(name, value);
        return;
    }
    Invalidate();
}

void CComboUI::CollectShownImages(std::vector<std::wstring>& descriptors) const {
    CLabelUI::CollectShownImages(descriptors);
    for (const std::wstring* image : {IsEnabled() ? nullptr : &disabledImage_, &normalImage_})
        if (image && !image->empty()) descriptors.push_back(*image);
}

void CComboUI::PaintStatusImage(cairo_t* cr) {
    bool drawn = false;
    if (!IsEnabled()) drawn = DrawImage(cr, disabledImage_);
    else if ((state_ & UISTATE_PUSHED) || open_) drawn = DrawImage(cr, pushedImage_) || DrawImage(cr, hotImage_);
    else if (state_ & UISTATE_HOT) drawn = DrawImage(cr, hotImage_);
    else if (state_ & UISTATE_FOCUSED) drawn = DrawImage(cr, focusedImage_);
    if (!drawn) DrawImage(cr, normalImage_);
}

}  // namespace Toolkit
