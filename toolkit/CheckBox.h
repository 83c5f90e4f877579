#pragma once
// "CheckBox": a button with a selected state. Activation raises "click" and then toggles the
// state, raising "selectchanged" (wParam 1 or 0). Its text starts with the button's alignment
// (centred both ways); layouts that put the text beside the tick say align="left".
#include "toolkit/Button.h"

namespace Toolkit {

class CCheckBoxUI : public CButtonUI {
public:
    CCheckBoxUI() = default;
    std::wstring_view GetClass() const override { return L"CheckBox"; }
    AccessibleRole GetAccessibleRole() const override { return AccessibleRole::CheckBox; }
    bool IsChecked() const override { return selected_; }

    bool IsSelected() const { return selected_; }
    // Changes the state; raises "selectchanged" only when it changed and `notify` is true.
    void Selected(bool selected, bool notify = true);

    bool Activate() override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

    void CollectShownImages(std::vector<std::wstring>& descriptors) const override;

protected:
    void PaintBkColor(cairo_t* cr) override;
    void PaintStatusImage(cairo_t* cr) override;
    Color CurrentTextColor() const override;

private:
    bool selected_ = false;
    std::wstring selectedImage_, selectedHotImage_, selectedPushedImage_, selectedDisabledImage_;
    Color selectedTextColor_ = 0, selectedBkColor_ = 0;
};

}  // namespace Toolkit
