#pragma once
// Every question and notice of the installer: a small skinned modal window owned by the main
// window. The answer is 0 for "okBtn", 1 for "cancelBtn" or any close that is not a click
// (Alt+F4, the window manager), 2 for a click on any other control ("closebtn").
//
// A layout that cannot be built ends the process with exit code 1 after telling the user, like
// the main window's layout does: the built-in skin always has the five box layouts.
//
// Thread: the user-interface thread. Boxes nest: an event handled while one box runs its modal
// loop may open another; each returns its own answer.
#include "ui/windows/CSkinFrame.h"

class CMessageBoxWnd : public CSkinFrame {
public:
    explicit CMessageBoxWnd(SkinWindowSpec window) : CSkinFrame(std::move(window)) {}

    void InitWindow() override;
    void OnClick(Toolkit::TNotifyUI& msg) override;

    int Result() const { return result_; }
    void SetTexts(const wchar_t* text, const wchar_t* caption);

private:
    int result_ = 1;
    Toolkit::CControlUI* okBtn_ = nullptr;
    Toolkit::CControlUI* cancelBtn_ = nullptr;
    Toolkit::CControlUI* textLbl_ = nullptr;
    Toolkit::CControlUI* captionLbl_ = nullptr;
};

// Shows the box described by `window` modally over `owner` (may be null), with `text` in
// "textLbl" and `caption` in "captionLbl" when given and present; returns the answer.
int ShowSkinMessageBox(Toolkit::CWindowBase* owner, const SkinWindowSpec& window, const wchar_t* text,
                       const wchar_t* caption);

// The five layouts.
inline constexpr wchar_t kNoticeLayout[] = L"MessageBox1Wnd.xml";
inline constexpr wchar_t kCentredNoticeLayout[] = L"MessageBox2Wnd.xml";
inline constexpr wchar_t kExitTipLayout[] = L"ExitTipWnd.xml";
inline constexpr wchar_t kInstalledTipLayout[] = L"InstalledPathTipWnd.xml";
inline constexpr wchar_t kNetworkTipLayout[] = L"NetworkTipWnd.xml";
