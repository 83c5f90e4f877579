#include "toolkit/Label.h"

#include "toolkit/PaintManager.h"
#include "toolkit/TextRenderer.h"
#include "utils/StringUtils.h"

namespace Toolkit {

void CLabelUI::SetTextStyle(const TextStyle& style) {
    style_ = style;
    Invalidate();
}

void CLabelUI::SetFont(int id) {
    font_ = id;
    Invalidate();
}

void CLabelUI::SetTextColor(Color color) {
    textColor_ = color;
    Invalidate();
}

void CLabelUI::SetTextPadding(const Rect& padding) {
    textPadding_ = padding;
    Invalidate();
}

Size CLabelUI::MeasureText(int maxWidth) const {
    const FontInfo font = manager_ ? manager_->GetFont(font_) : FontInfo{};
    return Text::Measure(TextToPaint(), font, style_, maxWidth);
}

void CLabelUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    const std::wstring lower = Utils::AsciiLower(std::wstring(name));
    if (lower == L"align") ApplyAlign(style_, value);
    else if (lower == L"valign") ApplyVAlign(style_, value);
    else if (lower == L"wordbreak") ApplyWordBreak(style_, value);
    else if (lower == L"endellipsis") style_.endEllipsis = ParseBool(value);
    else if (lower == L"font") font_ = ParseInt(value);
    else if (lower == L"textcolor") textColor_ = ParseColor(value);
    else if (lower == L"disabledtextcolor") disabledTextColor_ = ParseColor(value);
    else if (lower == L"textpadding") textPadding_ = ParseRect(value);
    else {
        CControlUI::SetAttribute(name, value);
        return;
    }
    Invalidate();
}

Color CLabelUI::ResolveColor(Color c) const {
    if (c != 0) return c;
    return manager_ ? manager_->GetDefaultTextColor() : 0xFF000000;
}

Color CLabelUI::CurrentTextColor() const {
    if (!IsEnabled()) {
        if (disabledTextColor_) return disabledTextColor_;
        return manager_ ? manager_->GetDisabledTextColor() : 0xFFA7A6AA;
    }
    return ResolveColor(textColor_);
}

void CLabelUI::PaintText(cairo_t* cr) {
    const std::wstring text = TextToPaint();
    if (text.empty()) return;
    const FontInfo font = manager_ ? manager_->GetFont(font_) : FontInfo{};
    Text::Draw(cr, text, rect_.Deflate(textPadding_), font, CurrentTextColor(), style_);
}

}  // namespace Toolkit
