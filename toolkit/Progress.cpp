#include "toolkit/Progress.h"

#include <cairo.h>

#include <algorithm>

#include "toolkit/Painter.h"
#include "utils/StringUtils.h"

namespace Toolkit {

void CProgressUI::SetMinValue(int v) { min_ = v; SetValue(value_); Invalidate(); }
void CProgressUI::SetMaxValue(int v) { max_ = v; SetValue(value_); Invalidate(); }

void CProgressUI::SetValue(int v) {
    v = max_ > min_ ? std::clamp(v, min_, max_) : min_;
    if (v == value_) return;
    value_ = v;
    Invalidate();
}

Rect CProgressUI::GetFillRect() const {
    if (max_ <= min_) return {};
    const double f = static_cast<double>(value_ - min_) / (max_ - min_);
    Rect r = rect_;
    if (horizontal_) r.right = r.left + static_cast<int>(rect_.Width() * f + 0.5);
    else r.top = r.bottom - static_cast<int>(rect_.Height() * f + 0.5);
    return r;
}

void CProgressUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    const std::wstring lower = Utils::AsciiLower(std::wstring(name));
    if (lower == L"min") SetMinValue(ParseInt(value));
    else if (lower == L"max") SetMaxValue(ParseInt(value));
    else if (lower == L"value") SetValue(ParseInt(value));
    else if (lower == L"hor") horizontal_ = ParseBool(value);
    else if (lower == L"isstretchfore") stretchFore_ = ParseBool(value);
    else if (lower == L"forecolor") foreColor_ = ParseColor(value);
    else if (lower == L"foreimage") foreImage_ = std::wstring(value);
    else {
        CLabelUI::SetAttribute(name, value);
        return;
    }
    Invalidate();
}

void CProgressUI::CollectShownImages(std::vector<std::wstring>& descriptors) const {
    CLabelUI::CollectShownImages(descriptors);
    if (!foreImage_.empty()) descriptors.push_back(foreImage_);
}

void CProgressUI::PaintStatusImage(cairo_t* cr) {
    const Rect fill = GetFillRect();
    if (fill.IsEmpty()) return;
    if (foreColor_) Paint::FillRect(cr, fill, foreColor_, GetBorderRound());
    if (foreImage_.empty()) return;
    if (stretchFore_) {
        DrawImage(cr, foreImage_, fill);
    } else {
        cairo_save(cr);
        cairo_rectangle(cr, fill.left, fill.top, fill.Width(), fill.Height());
        cairo_clip(cr);
        DrawImage(cr, foreImage_, rect_);
        cairo_restore(cr);
    }
}

}  // namespace Toolkit
