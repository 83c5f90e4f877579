#pragma once
// "Combo": a closed box showing the selected item, and a list that opens in a pop-up below the
// box, or above it when "dropup" is true (or when only that side has room). Selecting another
// item raises "itemselect" (wParam new index, lParam old index); selecting the current item
// raises nothing. The pop-up window belongs to the host; the list's geometry and painting are
// here so they work without a windowing system.
#include <memory>
#include <vector>

#include "toolkit/ComboItem.h"
#include "toolkit/Label.h"
#include "toolkit/NativePeer.h"

namespace Toolkit {

class CComboUI : public CLabelUI, private IPopupList {
public:
    CComboUI() : CLabelUI(TextStyle{HAlign::Left, VAlign::Center, false}) {}
    std::wstring_view GetClass() const override { return L"Combo"; }
    AccessibleRole GetAccessibleRole() const override { return AccessibleRole::ComboBox; }
    std::wstring GetAccessibleName() const override { return TextToPaint(); }

    // ---- items ----
    int GetCount() const { return static_cast<int>(items_.size()); }
    CComboItemUI* GetItemAt(int index) const;
    // Appends an item; returns it (owned by the combo box).
    CComboItemUI* AddItem(const std::wstring& text);
    bool AddItem(std::unique_ptr<CComboItemUI> item);
    void RemoveAll();
    int GetCurSel() const { return cur_; }
    // False for an index outside the items. The current index changes nothing.
    bool SelectItem(int index, bool notify = true);

    bool IsDropUp() const { return dropUp_; }
    bool IsDropDownOpen() const { return open_; }
    void SetDropDownOpen(bool open);  // the host reports its pop-up's state

    // ---- drop-down list geometry and painting (list-local coordinates) ----
    int GetItemHeight() const;
    Size GetDropListSize() const;
    int DropItemAt(Point pt, int scroll = 0) const;
    void PaintDropList(cairo_t* cr, Size size, int hotIndex, int scroll = 0) const;
    // Where the list goes on screen: below `box` (screen rectangle of the combo), or above when
    // `dropUp`; flipped when only the other side fits the work area; kept inside horizontally.
    static Rect PlaceDropList(const Rect& box, Size list, const Rect& workArea, bool dropUp);

    // A "ListLabelElement" child becomes an item (selected when its "selected" is true).
    bool AddChild(std::unique_ptr<CControlUI>& child) override;
    bool IsFocusable() const override { return IsKeyboardEnabled(); }
    bool Activate() override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;

    void CollectShownImages(std::vector<std::wstring>& descriptors) const override;

protected:
    void PaintStatusImage(cairo_t* cr) override;
    std::wstring TextToPaint() const override;

private:
    // The drop-down list as the host sees it.
    Size PopupSize() const override { return GetDropListSize(); }
    Rect PlacePopup(const Rect& owner, Size size, const Rect& work) const override {
        return PlaceDropList(owner, size, work, dropUp_);
    }
    int PopupItemCount() const override { return GetCount(); }
    int PopupItemHeight() const override { return GetItemHeight(); }
    int PopupCurrentItem() const override { return cur_; }
    int PopupItemAt(Point pt, int scroll) const override { return DropItemAt(pt, scroll); }
    void PaintPopup(cairo_t* cr, Size size, int hot, int scroll) const override { PaintDropList(cr, size, hot, scroll); }
    void PopupShown(bool open) override { SetDropDownOpen(open); }
    void PopupChoose(int index) override { SelectItem(index); }

    std::vector<std::unique_ptr<CComboItemUI>> items_;
    int cur_ = -1;
    bool dropUp_ = false;
    bool open_ = false;
    int itemFont_ = -1;
    Rect itemTextPadding_{8, 0, 8, 0};
    int itemHeight_ = 0;
    HAlign itemAlign_ = HAlign::Left;
    Color itemTextColor_ = 0, itemBkColor_ = 0xFFFFFFFF;
    Color itemHotTextColor_ = 0, itemHotBkColor_ = 0xFFE8F1FC;
    Color itemSelectedTextColor_ = 0, itemSelectedBkColor_ = 0xFFD3E5FA;
    Color dropBorderColor_ = 0xFFC8CDD4;
    Size dropBoxSize_;
    std::wstring normalImage_, hotImage_, pushedImage_, focusedImage_, disabledImage_;
};

}  // namespace Toolkit
