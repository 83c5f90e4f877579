#pragma once
// "Edit": a single-line text field. On screen the host places a native text entry over the
// text area, so typing, selection and input methods behave natively; the control keeps the
// text, draws its frame and background, and draws the text itself only when no native entry
// is attached (offscreen rendering). Text typed by the user raises "textchanged".
#include "toolkit/Label.h"
#include "toolkit/NativePeer.h"
#include "toolkit/ResourceSet.h"

namespace Toolkit {

class CEditUI : public CLabelUI, private ITextPeer {
public:
    CEditUI() : CLabelUI(TextStyle{HAlign::Left, VAlign::Center, false}) {}
    std::wstring_view GetClass() const override { return L"Edit"; }
    AccessibleRole GetAccessibleRole() const override { return AccessibleRole::TextEntry; }

    void SetText(const std::wstring& text) override;
    // The native entry reports a change made by the user.
    void OnUserTextChanged(const std::wstring& text);

    int GetMaxChar() const { return maxChar_; }
    bool IsReadOnly() const { return readOnly_; }
    bool IsPassword() const { return password_; }
    Color GetNativeBkColor() const { return nativeBkColor_; }
    // The rectangle the native entry covers: the control less its text padding.
    Rect GetEntryRect() const { return rect_.Deflate(textPadding_); }
    void SetNativeAttached(bool attached) { nativeAttached_ = attached; Invalidate(); }
    FontInfo GetEffectiveFont() const;
    Color GetEffectiveTextColor() const { return CurrentTextColor(); }

    bool IsFocusable() const override { return IsKeyboardEnabled(); }
    ITextPeer* TextPeer() override { return this; }
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

protected:
    void PaintBkColor(cairo_t* cr) override;
    void PaintStatusImage(cairo_t* cr) override;
    void PaintText(cairo_t* cr) override;

private:
    Rect PeerRect() const override { return IsReallyVisible() ? GetEntryRect() : Rect{}; }
    std::wstring PeerText() const override { return GetText(); }
    FontInfo PeerFont() const override { return GetEffectiveFont(); }
    Color PeerTextColor() const override { return CurrentTextColor(); }
    int PeerMaxChars() const override { return maxChar_; }
    bool PeerPassword() const override { return password_; }
    bool PeerReadOnly() const override { return readOnly_; }
    void PeerTextEdited(const std::wstring& text) override { OnUserTextChanged(text); }
    void PeerAttached(bool attached) override { SetNativeAttached(attached); }

    int maxChar_ = 255;
    bool readOnly_ = false;
    bool password_ = false;
    bool nativeAttached_ = false;
    Color nativeBkColor_ = 0;
    std::wstring normalImage_, hotImage_, focusedImage_, disabledImage_;
};

}  // namespace Toolkit
