// The main window's pages, controls and notifications. The install flow is in
// CMainWndInstall.cpp.
#include "ui/windows/CMainWnd.h"

#include "install/InstallSession.h"
#include "install/ReportTaskEvent.h"
#include "toolkit/CheckBox.h"
#include "toolkit/Combo.h"
#include "toolkit/Edit.h"
#include "toolkit/Progress.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/TabLayout.h"
#include "ui/skin/TextTable.h"
#include "ui/windows/CMainWndControls.h"
#include "ui/windows/CMessageBoxWnd.h"
#include "ui/windows/DesktopServices.h"
#include "ui/windows/MainWndRules.h"
#include "utils/Thread.h"

using namespace Toolkit;
using namespace MainWndRules;

namespace {

constexpr wchar_t kBackground[] = L"res\\mainWnd\\bg.png";
constexpr std::uintptr_t kAnimationTimer = 2100;

}  // namespace

CMainWnd::CMainWnd()
    : CSkinFrame(SkinWindowSpec::ForLayout(L"MainWnd.xml")),
      c_(std::make_unique<Controls>()),
      postToken_(std::make_shared<PostToken>(this)) {}

CMainWnd::~CMainWnd() {
    postToken_->Clear();
    // The probe thread only posts; the session waits for its stages' threads.
    if (netCheckThread_) netCheckThread_->Join();
    netCheckThread_.reset();
    session_.reset();
}

bool CMainWnd::Run(const std::wstring& title) {
    if (!Create(nullptr, title, WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0)) return false;
    CenterWindow();
    ShowModal();
    return true;
}

std::unique_ptr<CControlUI> CMainWnd::CreateControl(const std::wstring& name) {
    return Controls::CreateInstallerControl(name);
}

// ---- start sequence ----

void CMainWnd::InitWindow() {
    // 1. Styles.
    RestyleWindow();
    // 2. The window icon: the host puts the product icon on every top-level window.
    // 3.-5. Controls, fitted widths, the language list.
    c_->winCtn = FindControl(L"winCtn");
    FitTextWidths();
    c_->langCombo = dynamic_cast<CComboUI*>(FindControl(L"langCombo"));
    Controls::FillLanguageList(c_->langCombo);
    FindControls();
    // 6. The install session and its orchestrator, with the window as the only receiver of
    // their events.
    postToken_->SetScheduler(&PaintManager().Scheduler());
    std::shared_ptr<PostToken> token = postToken_;
    session_ = std::make_unique<InstallSession>([token](int32_t code, double value, const wchar_t* text) {
        token->Post(new UiEventRecord{code, value, text ? text : L""});
    });
    // 7.-8. The previous installation and the proposed folder.
    ReadPreviousInstallation();
    if (c_->installDirEdit) c_->installDirEdit->SetText(DefaultInstallFolder());
    // 9. Centred.
    CenterWindow();
    // 10. An installed copy: offered once the window runs.
    if (HasPreviousInstall) {
        LanguageCode = InstalledCopy::ReadPreviousLanguage(previous_.installPath);
        if (LanguageCode == L"en-US") Controls::SelectLanguage(c_->langCombo, 0);
        else if (LanguageCode == L"zh-TW") Controls::SelectLanguage(c_->langCombo, 1);
        SendNotify(PaintManager().GetRoot(), kOfferExisting, 0, 0, true);
    }
}

void CMainWnd::FindControls() {
    auto find = [this](const wchar_t* name) { return FindControl(name); };
    c_->titleTabLt = dynamic_cast<CTabLayoutUI*>(find(L"titleTabLt"));
    c_->mainTabLt = dynamic_cast<CTabLayoutUI*>(find(L"mainTabLt"));
    c_->defaultInstallBtn = find(L"defaultInstallBtn");
    c_->customeBtn = find(L"customeBtn");
    c_->backBtn = find(L"backBtn");
    c_->chDirBtn = find(L"chDirBtn");
    c_->installDirEdit = dynamic_cast<CEditUI*>(find(L"installDirEdit"));
    c_->createDSCb = dynamic_cast<CCheckBoxUI*>(find(L"createDSCb"));
    c_->createQSCb = dynamic_cast<CCheckBoxUI*>(find(L"createQSCb"));
    c_->customeInstallBtn = find(L"customeInstallBtn");
    c_->titleGrpCtn = find(L"titleGrpCtn");
    c_->progressAnLb = find(L"progressAnLb");
    c_->finishedLbl = find(L"finishedLbl");
    c_->progressLb = find(L"progressLb");
    c_->installPrg = dynamic_cast<CProgressUI*>(find(L"installPrg"));
    c_->speedLb = find(L"speedLb");
    c_->openProduceBtn = find(L"openProduceBtn");
    if (c_->progressLb) c_->progressLbInitial = c_->progressLb->GetText();
}

void CMainWnd::ReadPreviousInstallation() {
    previous_ = InstalledCopy::ReadPrevious();
    HasPreviousInstall = previous_.Exists();
}

void CMainWnd::FitTextWidths() { Controls::FitTextWidths(PaintManager()); }

// ---- folders ----

std::wstring CMainWnd::DefaultInstallFolder() {
    admin_ = ReadAdminState();
    return ::DefaultInstallFolder(previous_, admin_);
}

std::wstring CMainWnd::CustomInstallFolder() {
    const std::wstring text = c_->installDirEdit ? c_->installDirEdit->GetText() : L"";
    return CustomFolderFor(text, DefaultInstallFolder());
}

void CMainWnd::ChooseFolder() {
    std::wstring chosen;
    const std::wstring start = c_->installDirEdit ? c_->installDirEdit->GetText() : L"";
    if (DesktopServices::ChooseFolder(*this, Skin::GetText(L"IDExplorerOpen"), start, chosen) && c_->installDirEdit)
        c_->installDirEdit->SetText(chosen);
}

// ---- messages and notifications ----

std::intptr_t CMainWnd::HandleMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    // Nothing ends an installation in progress: not Alt+F4, the window manager or a request.
    if (msg == WM_CLOSE && !AcceptsClose(CurrentPage())) return 0;
    return CSkinFrame::HandleMessage(msg, wParam, lParam);
}

std::intptr_t CMainWnd::HandleCustomMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                                            bool& handled) {
    if (msg != WM_INSTALLER_EVENT) return CSkinFrame::HandleCustomMessage(msg, wParam, lParam, handled);
    handled = true;
    OnInstallerEvent(reinterpret_cast<UiEventRecord*>(lParam));
    return 0;
}

void CMainWnd::Notify(TNotifyUI& msg) {
    CControlUI* root = PaintManager().GetRoot();
    if (msg.type == L"tabselect") {
        OnTabSelect();
    } else if (msg.type == L"itemselect" && msg.sender && msg.sender == c_->langCombo) {
        OnLanguageSelect(static_cast<int>(msg.wParam));
        return;
    } else if (msg.sender == root && msg.type == kCheckNet) {
        OnCheckNet(msg.wParam);
    } else if (msg.sender == root && msg.type == kInstall) {
        OnInstall(msg.wParam);
    } else if (msg.sender == root && msg.type == kOfferExisting) {
        OfferExistingInstallation();
    } else if (msg.sender == root && msg.type == L"timer") {
        if (static_cast<std::uintptr_t>(msg.wParam) == kTopShowTimer) {
            DesktopServices::Present(*this);
            root->KillTimer(kTopShowTimer);
        } else if (static_cast<std::uintptr_t>(msg.wParam) == kFinishCloseTimer) {
            root->KillTimer(kFinishCloseTimer);
            RequestClose();
        } else if (static_cast<std::uintptr_t>(msg.wParam) == kDownloadRateTimer) {
            ShowDownloadRate(nullptr);
        }
    }
    CSkinFrame::Notify(msg);
}

void CMainWnd::OnClick(TNotifyUI& msg) {
    CControlUI* sender = msg.sender;
    if (!sender) return;
    if (sender == c_->defaultInstallBtn) {
        ReportTaskEvent(L"默认页-立即安装");
        StartInstall(DefaultInstallFolder(), true, true);
    } else if (sender == c_->customeBtn) {
        ShowPage(kCustomPage);
        if (c_->customeInstallBtn) c_->customeInstallBtn->SetFocus();
    } else if (sender == c_->backBtn) {
        ShowPage(kDefaultPage);
    } else if (sender == c_->chDirBtn) {
        ChooseFolder();
    } else if (sender == c_->customeInstallBtn) {
        ReportTaskEvent(L"自定义-点击立即安装");
        StartInstall(CustomInstallFolder(), c_->createDSCb && c_->createDSCb->IsSelected(),
                     c_->createQSCb && c_->createQSCb->IsSelected());
    } else if (sender == c_->openProduceBtn) {
        if (StartupStyle == 2) RunProduct();
        ReportTaskEvent(L"立即体验");
        RequestClose();
    } else if (sender->GetName() == L"closebtn") {
        OnCloseButton();
    } else {
        CSkinFrame::OnClick(msg);
    }
}

void CMainWnd::OnCloseButton() {
    if (CloseButtonAsks(CurrentPage())) {
        if (ShowSkinMessageBox(this, SkinWindowSpec::ForLayout(kExitTipLayout), nullptr, nullptr) != 0) return;
    }
    RequestClose();
}

void CMainWnd::RequestClose() {
    closeRequested_ = true;
    Close(1);
}

void CMainWnd::OnLanguageSelect(int index) {
    Controls::ApplyLanguage(c_->langCombo, index, LanguageCode);
    FitTextWidths();
    if (CControlUI* root = PaintManager().GetRoot()) {
        root->NeedUpdate();
        root->Invalidate();
    }
    if (c_->installDirEdit) PaintManager().Invalidate();
}

// ---- pages ----

int CMainWnd::CurrentPage() const { return c_->mainTabLt ? c_->mainTabLt->GetCurSel() : kDefaultPage; }

void CMainWnd::ShowPage(int page) {
    if (c_->mainTabLt) c_->mainTabLt->SelectItem(page);
}

void CMainWnd::OnTabSelect() {
    const int page = CurrentPage();
    if (c_->winCtn) {
        c_->winCtn->SetBkImage(kBackground);
        c_->winCtn->Invalidate();
    }
    const int titlePage = TitlePageFor(page);
    if (titlePage >= 0 && c_->titleTabLt) c_->titleTabLt->SelectItem(titlePage);
    // The progress animation runs only while its page shows: a failed download returns to the
    // page the install started from, where a hidden animation would keep repainting for nothing.
    if (page == kProgressPage) {
        StartAnimation(c_->progressAnLb);
    } else {
        StopAnimation(c_->progressAnLb);
        if (page == kFinishPage) StartAnimation(c_->finishedLbl);
    }
    if (c_->titleGrpCtn) c_->titleGrpCtn->SetVisible(page != kProgressPage);
    if (c_->backBtn) c_->backBtn->SetVisible(page == kCustomPage);
}

void CMainWnd::StartAnimation(CControlUI* control) { Controls::StartAnimation(control); }

void CMainWnd::StopAnimation(CControlUI* control) {
    if (control) control->KillTimer(kAnimationTimer);
}

// ---- the existing installation ----

void CMainWnd::OfferExistingInstallation() {
    const int result = ShowSkinMessageBox(this, SkinWindowSpec::ForLayout(kInstalledTipLayout), nullptr, nullptr);
    if (result == 0) {
        StartInstall(previous_.installPath, true, true);
    } else if (result == 1) {
        ProductExePath = MainWndRules::ProductExeIn(previous_.installPath);
        DesktopServices::StartProgram(ProductExePath, previous_.installPath);
        RequestClose();
    } else {
        RequestClose();
    }
}
