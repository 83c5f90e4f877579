#include "toolkit/CheckBox.h"

#include "toolkit/Painter.h"
#include "utils/StringUtils.h"

namespace Toolkit {

void CCheckBoxUI::Selected(bool selected, bool notify) {
    if (selected == selected_) return;
    selected_ = selected;
    if (selected) state_ |= UISTATE_SELECTED;
    else state_ &= ~UISTATE_SELECTED;
    Invalidate();
    if (notify) Notify(L"selectchanged", selected_ ? 1 : 0);
}

bool CCheckBoxUI::Activate() {
    if (!CButtonUI::Activate()) return false;
    Selected(!selected_, true);
    return true;
}

void CCheckBoxUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    const std::wstring lower = Utils::AsciiLower(std::wstring(name));
    const std::wstring v(value);
    if (lower == L"selected") Selected(ParseBool(value), false);
    else if (lower == L"selectedimage") selectedImage_ = v;
    else if (lower == L"selectedhotimage") selectedHotImage_ = v;
    else if (lower == L"selectedpushedimage") selectedPushedImage_ = v;
    else if (lower == L"selecteddisabledimage") selectedDisabledImage_ = v;
    else if (lower == L"selectedtextcolor") selectedTextColor_ = ParseColor(value);
    else if (lower == L"selectedbkcolor") selectedBkColor_ = ParseColor(value);
    else {
        CButtonUI::SetAttribute(name, value);
        return;
    }
    Invalidate();
}

void CCheckBoxUI::PaintBkColor(cairo_t* cr) {
    if (selected_ && selectedBkColor_ && IsEnabled() && !(state_ & (UISTATE_HOT | UISTATE_PUSHED)))
        Paint::FillRect(cr, rect_, selectedBkColor_);
    else
        CButtonUI::PaintBkColor(cr);
}

void CCheckBoxUI::PaintStatusImage(cairo_t* cr) {
    if (selected_) {
        bool drawn = false;
        if (!IsEnabled()) drawn = DrawImage(cr, selectedDisabledImage_);
        else if (state_ & UISTATE_PUSHED) drawn = DrawImage(cr, selectedPushedImage_) || DrawImage(cr, selectedHotImage_);
        else if (state_ & UISTATE_HOT) drawn = DrawImage(cr, selectedHotImage_);
        if (drawn || DrawImage(cr, selectedImage_)) return;
    }
    CButtonUI::PaintStatusImage(cr);
}

void CCheckBoxUI::CollectShownImages(std::vector<std::wstring>& descriptors) const {
    CButtonUI::CollectShownImages(descriptors);
    if (selected_ && !IsEnabled() && !selectedDisabledImage_.empty()) descriptors.push_back(selectedDisabledImage_);
    if (selected_ && !selectedImage_.empty()) descriptors.push_back(selectedImage_);
}

Color CCheckBoxUI::CurrentTextColor() const {
    if (selected_ && selectedTextColor_ && IsEnabled() && !(state_ & (UISTATE_HOT | UISTATE_PUSHED)))
        return selectedTextColor_;
    return CButtonUI::CurrentTextColor();
}

}  // namespace Toolkit
