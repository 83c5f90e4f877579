#pragma once
// "TabLayout": shows exactly one child, the selected one, with the container's full inner
// rectangle. Selecting an index outside the children fails and changes nothing; selecting the
// current index changes nothing and raises nothing; another index raises "tabselect"
// (wParam new index, lParam old index).
#include "toolkit/Container.h"

namespace Toolkit {

class CTabLayoutUI : public CContainerUI {
public:
    std::wstring_view GetClass() const override { return L"TabLayout"; }
    AccessibleRole GetAccessibleRole() const override { return AccessibleRole::PageTabList; }

    int GetCurSel() const { return selected_; }
    bool SelectItem(int index, bool notify = true);
    bool SelectItem(CControlUI* control, bool notify = true);

    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void SetPos(const Rect& rect) override;
    void DoInit() override;

    // A page added later is shown only when it sits at the selected index.
    bool AddAt(std::unique_ptr<CControlUI> control, int index) override;

private:
    void SyncVisibility();

    int selected_ = 0;
};

}  // namespace Toolkit
