#include "toolkit/Container.h"

#include <cairo.h>

#include "toolkit/PaintManager.h"
#include "utils/StringUtils.h"

namespace Toolkit {

CContainerUI::~CContainerUI() {
    // Children go first, while this container is still a complete object.
    items_.clear();
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

int CContainerUI::GetItemIndex(const CControlUI* control) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == control) return static_cast<int>(i);
    return -1;
}

bool CContainerUI::Add(std::unique_ptr<CControlUI> control) { return AddAt(std::move(control), GetCount()); }

bool CContainerUI::AddAt(std::unique_ptr<CControlUI> control, int index) {
    if (!control || index < 0 || index > GetCount()) return false;
    control->SetManager(manager_, this);
    items_.insert(items_.begin() + index, std::move(control));
    NeedUpdate();
    return true;
}

bool CContainerUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (index < 0) return false;
    items_.erase(items_.begin() + index);
    NeedUpdate();
    return true;
}

void CContainerUI::RemoveAll() {
    items_.clear();
    NeedUpdate();
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    CControlUI::SetManager(manager, parent);
    for (auto& item : items_) item->SetManager(manager, this);
}

CControlUI* CContainerUI::FindFirst(const std::function<bool(CControlUI*)>& visit) {
    if (visit(this)) return this;
    for (auto& item : items_)
        if (CControlUI* found = item->FindFirst(visit)) return found;
    return nullptr;
}

CControlUI* CContainerUI::FindAt(Point pt, bool mouseOnly) {
    if (!IsVisible() || !rect_.Contains(pt)) return nullptr;
    // Later children are painted over earlier ones, so they are asked first.
    for (auto it = items_.rbegin(); it != items_.rend(); ++it)
        if (CControlUI* found = (*it)->FindAt(pt, mouseOnly)) return found;
    if (mouseOnly && !IsMouseEnabled()) return nullptr;
    return this;
}

void CContainerUI::PlaceFloatChild(CControlUI* child) {
    const Rect& p = child->GetFloatPos();
    child->SetPos(p.Offset(rect_.left, rect_.top));
}

void CContainerUI::SetPos(const Rect& rect) {
    CControlUI::SetPos(rect);
    const Rect inner = rect_.Deflate(inset_);
    for (auto& item : items_) {
        if (!item->IsVisible()) continue;
        if (item->IsFloat()) PlaceFloatChild(item.get());
        else item->SetPos(inner.Deflate(item->GetPadding()));
    }
}

void CContainerUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    // "childalign" and "childvalign" are the two names compared exactly.
    if (name == L"childalign") {
        childAlign_ = value == L"center" ? 1 : value == L"right" ? 2 : 0;
        NeedUpdate();
        return;
    }
    if (name == L"childvalign") {
        childVAlign_ = value == L"vcenter" ? 1 : value == L"bottom" ? 2 : 0;
        NeedUpdate();
        return;
    }
    const std::wstring lower = Utils::AsciiLower(std::wstring(name));
    if (lower == L"inset") {
        inset_ = ParseRect(value);
        NeedUpdate();
    } else if (lower == L"childpadding") {
        childPadding_ = ParseLength(value);
        NeedUpdate();
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CContainerUI::DoPaint(cairo_t* cr, const Rect& dirty) {
    if (!IsVisible() || rect_.Intersect(dirty).IsEmpty()) return;
    CControlUI::DoPaint(cr, dirty);
    cairo_save(cr);
    cairo_rectangle(cr, rect_.left, rect_.top, rect_.Width(), rect_.Height());
    cairo_clip(cr);
    const Rect clip = dirty.Intersect(rect_);
    for (auto& item : items_) item->DoPaint(cr, clip);
    cairo_restore(cr);
}

}  // namespace Toolkit
