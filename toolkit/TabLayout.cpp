#include "toolkit/TabLayout.h"

#include "toolkit/PaintManager.h"
#include "utils/StringUtils.h"

namespace Toolkit {

bool CTabLayoutUI::SelectItem(int index, bool notify) {
    if (index < 0 || index >= GetCount()) return false;
    if (index == selected_) {
        SyncVisibility();
        return true;
    }
    const int old = selected_;
    selected_ = index;
    SyncVisibility();
    NeedUpdate();
    if (notify) Notify(L"tabselect", selected_, old);
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* control, bool notify) { return SelectItem(GetItemIndex(control), notify); }

void CTabLayoutUI::SyncVisibility() {
    for (int i = 0; i < GetCount(); ++i) GetItemAt(i)->SetVisible(i == selected_);
}

bool CTabLayoutUI::AddAt(std::unique_ptr<CControlUI> control, int index) {
    if (!CContainerUI::AddAt(std::move(control), index)) return false;
    SyncVisibility();
    return true;
}

void CTabLayoutUI::DoInit() {
    if (selected_ >= GetCount()) selected_ = 0;  // a "selectedid" past the pages shows the first
    SyncVisibility();
}

void CTabLayoutUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (Utils::EqualsNoCase(name, L"selectedid")) {
        const int index = ParseInt(value);
        if (GetCount() > 0) SelectItem(index, false);
        else selected_ = index;
        return;
    }
    CContainerUI::SetAttribute(name, value);
}

void CTabLayoutUI::SetPos(const Rect& rect) {
    CControlUI::SetPos(rect);
    const Rect inner = rect_.Deflate(inset_);
    for (auto& item : items_) {
        if (!item->IsVisible()) continue;
        item->SetPos(inner.Deflate(item->GetPadding()));
    }
}

}  // namespace Toolkit
