#pragma once
// "Label": text and background. Keeps the text flags (TextStyle) that "align", "valign" and
// "wordbreak" change in attribute order; a label starts left-aligned, vertically centred,
// single line. Base of every text-showing control.
#include "toolkit/Control.h"
#include "toolkit/TextStyle.h"

namespace Toolkit {

class CLabelUI : public CControlUI {
public:
    CLabelUI() = default;
    std::wstring_view GetClass() const override { return L"Label"; }
    AccessibleRole GetAccessibleRole() const override { return AccessibleRole::Label; }

    const TextStyle& GetTextStyle() const { return style_; }
    void SetTextStyle(const TextStyle& style);
    int GetFontId() const { return font_; }
    void SetFont(int id);
    Color GetTextColor() const { return textColor_; }
    void SetTextColor(Color color);
    const Rect& GetTextPadding() const { return textPadding_; }
    void SetTextPadding(const Rect& padding);

    // The size the shown text needs with this label's font and flags (no padding added).
    Size MeasureText(int maxWidth = 0) const;

    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

protected:
    explicit CLabelUI(const TextStyle& initial) : style_(initial) {}
    void PaintText(cairo_t* cr) override;
    // The text to draw (the display text; a combo box shows its selected item instead).
    virtual std::wstring TextToPaint() const { return GetDisplayText(); }
    // The colour for the current state.
    virtual Color CurrentTextColor() const;
    Color ResolveColor(Color c) const;

    TextStyle style_;
    int font_ = -1;
    Color textColor_ = 0;
    Color disabledTextColor_ = 0;
    Rect textPadding_;
};

}  // namespace Toolkit
