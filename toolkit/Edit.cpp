#include "toolkit/Edit.h"

#include "toolkit/PaintManager.h"
#include "toolkit/Painter.h"
#include "toolkit/TextRenderer.h"
#include "utils/StringUtils.h"

namespace Toolkit {

void CEditUI::SetText(const std::wstring& text) {
    const std::wstring cut = maxChar_ > 0 && text.size() > static_cast<size_t>(maxChar_) ? text.substr(0, maxChar_) : text;
    if (cut == GetText()) return;
    CLabelUI::SetText(cut);
    if (manager_ && manager_->GetHost()) manager_->GetHost()->PeerChanged(this);
}

void CEditUI::OnUserTextChanged(const std::wstring& text) {
    if (text == GetText()) return;
    CLabelUI::SetText(text);
    Notify(L"textchanged");
}

FontInfo CEditUI::GetEffectiveFont() const { return manager_ ? manager_->GetFont(font_) : FontInfo{}; }

void CEditUI::DoEvent(TEventUI& event) {
    switch (event.type) {
        case EventType::MouseEnter: state_ |= UISTATE_HOT; Invalidate(); break;
        case EventType::MouseLeave: state_ &= ~UISTATE_HOT; Invalidate(); break;
        default: CLabelUI::DoEvent(event); break;
    }
}

void CEditUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    const std::wstring lower = Utils::AsciiLower(std::wstring(name));
    const std::wstring v(value);
    if (lower == L"maxchar") maxChar_ = ParseInt(value);
    else if (lower == L"readonly") readOnly_ = ParseBool(value);
    else if (lower == L"password") password_ = ParseBool(value);
    else if (lower == L"nativebkcolor") nativeBkColor_ = ParseColor(value);
    else if (lower == L"normalimage") normalImage_ = v;
    else if (lower == L"hotimage") hotImage_ = v;
    else if (lower == L"focusedimage") focusedImage_ = v;
    else if (lower == L"disabledimage") disabledImage_ = v;
    else {
        CLabelUI::SetAttribute(name, value);
        return;
    }
    Invalidate();
}

void CEditUI::PaintBkColor(cairo_t* cr) {
    CLabelUI::PaintBkColor(cr);
    if (nativeBkColor_) Paint::FillRect(cr, GetEntryRect(), nativeBkColor_);
}

void CEditUI::PaintStatusImage(cairo_t* cr) {
    bool drawn = false;
    if (!IsEnabled()) drawn = DrawImage(cr, disabledImage_);
    else if (state_ & UISTATE_FOCUSED) drawn = DrawImage(cr, focusedImage_) || DrawImage(cr, hotImage_);
    else if (state_ & UISTATE_HOT) drawn = DrawImage(cr, hotImage_);
    if (!drawn) DrawImage(cr, normalImage_);
}

void CEditUI::PaintText(cairo_t* cr) {
    if (nativeAttached_) return;
    std::wstring text = GetDisplayText();
    if (password_) text.assign(text.size(), L'\u2022');
    Text::Draw(cr, text, GetEntryRect(), GetEffectiveFont(), CurrentTextColor(),
               TextStyle{style_.hAlign, VAlign::Center, false, false});
}

}  // namespace Toolkit
