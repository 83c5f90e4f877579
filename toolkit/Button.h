#pragma once
// "Button": a label with hot, pushed, focused and disabled states, each with its own image,
// background colour and text colour. A press released over the button activates it and
// raises "click"; Enter or Space does the same while it has the keyboard focus.
#include "toolkit/Label.h"

namespace Toolkit {

class CButtonUI : public CLabelUI {
public:
    CButtonUI() : CLabelUI(TextStyle{HAlign::Center, VAlign::Center, false}) {}
    std::wstring_view GetClass() const override { return L"Button"; }
    AccessibleRole GetAccessibleRole() const override { return AccessibleRole::PushButton; }
    bool HasClickAction() const override { return true; }

    bool IsFocusable() const override { return IsKeyboardEnabled(); }
    bool Activate() override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

    void SetNormalImage(const std::wstring& d) { normalImage_ = d; Invalidate(); }
    void SetHotImage(const std::wstring& d) { hotImage_ = d; Invalidate(); }
    void SetPushedImage(const std::wstring& d) { pushedImage_ = d; Invalidate(); }
    void SetDisabledImage(const std::wstring& d) { disabledImage_ = d; Invalidate(); }

    void CollectShownImages(std::vector<std::wstring>& descriptors) const override;

protected:
    void PaintBkColor(cairo_t* cr) override;
    void PaintStatusImage(cairo_t* cr) override;
    Color CurrentTextColor() const override;

    std::wstring normalImage_, hotImage_, pushedImage_, focusedImage_, disabledImage_;
    std::wstring foreImage_, hotForeImage_;
    Color hotTextColor_ = 0, pushedTextColor_ = 0, focusedTextColor_ = 0;
    Color hotBkColor_ = 0, pushedBkColor_ = 0, disabledBkColor_ = 0;
};

}  // namespace Toolkit
