#include "ui/windows/CMessageBoxWnd.h"

using namespace Toolkit;

void CMessageBoxWnd::InitWindow() {
    RestyleWindow();
    okBtn_ = FindControl(L"okBtn");
    cancelBtn_ = FindControl(L"cancelBtn");
    textLbl_ = FindControl(L"textLbl");
    captionLbl_ = FindControl(L"captionLbl");
}

void CMessageBoxWnd::SetTexts(const wchar_t* text, const wchar_t* caption) {
    if (text && textLbl_) textLbl_->SetText(text);
    if (caption && captionLbl_) captionLbl_->SetText(caption);
}

void CMessageBoxWnd::OnClick(TNotifyUI& msg) {
    if (msg.sender && msg.sender == okBtn_) {
        Close(1);
        result_ = 0;
    } else if (msg.sender && msg.sender == cancelBtn_) {
        Close(1);
        result_ = 1;
    } else {
        CSkinFrame::OnClick(msg);
        result_ = 2;
    }
}

int ShowSkinMessageBox(CWindowBase* owner, const SkinWindowSpec& window, const wchar_t* text, const wchar_t* caption) {
    CMessageBoxWnd box(window);
    if (!box.Create(owner, L"消息框", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0)) return box.Result();
    box.SetTexts(text, caption);
    box.CenterWindow();
    box.ShowModal();
    return box.Result();
}
