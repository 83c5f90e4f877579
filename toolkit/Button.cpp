#include "toolkit/Button.h"

#include "toolkit/PaintManager.h"
#include "toolkit/Painter.h"
#include "utils/StringUtils.h"

namespace Toolkit {

bool CButtonUI::Activate() {
    if (!CControlUI::Activate()) return false;
    Notify(L"click");
    return true;
}

void CButtonUI::DoEvent(TEventUI& event) {
    if (!IsEnabled() && event.type != EventType::Timer && event.type != EventType::KillFocus) {
        CLabelUI::DoEvent(event);
        return;
    }
    switch (event.type) {
        case EventType::MouseEnter:
            state_ |= UISTATE_HOT;
            Invalidate();
            break;
        case EventType::MouseLeave:
            state_ &= ~UISTATE_HOT;
            Invalidate();
            break;
        case EventType::ButtonDown:
        case EventType::DoubleClick:
            state_ |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
            break;
        case EventType::MouseMove:
            if (state_ & UISTATE_CAPTURED) {
                const bool inside = rect_.Contains(event.pt);
                if (inside != ((state_ & UISTATE_PUSHED) != 0)) {
                    state_ = inside ? (state_ | UISTATE_PUSHED) : (state_ & ~UISTATE_PUSHED);
                    Invalidate();
                }
            }
            break;
        case EventType::ButtonUp:
            if (state_ & UISTATE_CAPTURED) {
                const bool activate = (state_ & UISTATE_PUSHED) && rect_.Contains(event.pt);
                state_ &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
                Invalidate();
                // Last: the click handler may remove this control.
                if (activate) Activate();
            }
            break;
        case EventType::KeyDown:
            if (event.key == Key::Return || event.key == Key::Space) Activate();
            break;
        default:
            CLabelUI::DoEvent(event);
            break;
    }
}

void CButtonUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    const std::wstring lower = Utils::AsciiLower(std::wstring(name));
    const std::wstring v(value);
    if (lower == L"normalimage") normalImage_ = v;
    else if (lower == L"hotimage") hotImage_ = v;
    else if (lower == L"pushedimage") pushedImage_ = v;
    else if (lower == L"focusedimage") focusedImage_ = v;
    else if (lower == L"disabledimage") disabledImage_ = v;
    else if (lower == L"foreimage") foreImage_ = v;
    else if (lower == L"hotforeimage") hotForeImage_ = v;
    else if (lower == L"hottextcolor") hotTextColor_ = ParseColor(value);
    else if (lower == L"pushedtextcolor") pushedTextColor_ = ParseColor(value);
    else if (lower == L"focusedtextcolor") focusedTextColor_ = ParseColor(value);
    else if (lower == L"hotbkcolor") hotBkColor_ = ParseColor(value);
    else if (lower == L"pushedbkcolor") pushedBkColor_ = ParseColor(value);
    else if (lower == L"disabledbkcolor") disabledBkColor_ = ParseColor(value);
    else {
        CLabelUI::SetAttribute(name, value);
        return;
    }
    Invalidate();
}

void CButtonUI::PaintBkColor(cairo_t* cr) {
    Color c = 0;
    if (!IsEnabled()) c = disabledBkColor_;
    else if (state_ & UISTATE_PUSHED) c = pushedBkColor_ ? pushedBkColor_ : hotBkColor_;
    else if (state_ & UISTATE_HOT) c = hotBkColor_;
    if (c) Paint::FillRect(cr, rect_, c);
    else CLabelUI::PaintBkColor(cr);
}

void CButtonUI::PaintStatusImage(cairo_t* cr) {
    // Each state falls back to the normal image when it has none of its own (or it is missing).
    bool drawn = false;
    if (!IsEnabled()) drawn = DrawImage(cr, disabledImage_);
    else if (state_ & UISTATE_PUSHED) drawn = DrawImage(cr, pushedImage_) || DrawImage(cr, hotImage_);
    else if (state_ & UISTATE_HOT) drawn = DrawImage(cr, hotImage_);
    else if (state_ & UISTATE_FOCUSED) drawn = DrawImage(cr, focusedImage_);
    if (!drawn) DrawImage(cr, normalImage_);
    if ((state_ & (UISTATE_HOT | UISTATE_PUSHED)) && IsEnabled() && DrawImage(cr, hotForeImage_)) return;
    DrawImage(cr, foreImage_);
}

void CButtonUI::CollectShownImages(std::vector<std::wstring>& descriptors) const {
    CLabelUI::CollectShownImages(descriptors);
    // A window's first frame shows its buttons at rest (a disabled one falls back to normal).
    for (const std::wstring* image : {IsEnabled() ? nullptr : &disabledImage_, &normalImage_, &foreImage_})
        if (image && !image->empty()) descriptors.push_back(*image);
}

Color CButtonUI::CurrentTextColor() const {
    if (IsEnabled()) {
        if ((state_ & UISTATE_PUSHED) && pushedTextColor_) return pushedTextColor_;
        if ((state_ & (UISTATE_HOT | UISTATE_PUSHED)) && hotTextColor_) return hotTextColor_;
        if ((state_ & UISTATE_FOCUSED) && focusedTextColor_) return focusedTextColor_;
    }
    return CLabelUI::CurrentTextColor();
}

}  // namespace Toolkit
