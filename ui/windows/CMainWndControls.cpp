#include "ui/windows/CMainWndControls.h"

#include "toolkit/Combo.h"
#include "ui/controls/CSequenceButtonUI.h"
#include "ui/controls/CSequenceLabelUI.h"
#include "ui/controls/SequenceControlFactory.h"
#include "ui/skin/LanguageList.h"
#include "ui/skin/TextFitting.h"

using namespace Toolkit;

void CMainWnd::PostToken::Post(UiEventRecord* record) {
    auto holder = std::make_shared<std::unique_ptr<UiEventRecord>>(record);
    IScheduler& scheduler = scheduler_ ? *scheduler_ : DefaultScheduler();
    // Each posted item holds the token, so it outlives the window when it must.
    std::shared_ptr<PostToken> self = shared_from_this();
    scheduler.Post([self, holder] {
        CMainWnd* window = self->window_;
        if (window && window->IsWindow())
            window->SendMessage(WM_INSTALLER_EVENT, 0, reinterpret_cast<std::intptr_t>(holder->release()));
    });
}

std::unique_ptr<CControlUI> CMainWnd::Controls::CreateInstallerControl(const std::wstring& name) {
    return ::Controls::CreateSequenceControl(name);
}

void CMainWnd::Controls::FillLanguageList(CComboUI* combo) {
    if (combo) Skin::FillLanguageList(combo);
}

void CMainWnd::Controls::SelectLanguage(CComboUI* combo, int index) {
    if (combo) combo->SelectItem(index);
}

void CMainWnd::Controls::ApplyLanguage(CComboUI* combo, int index, std::wstring& languageCode) {
    if (!combo) return;
    Skin::ApplyLanguageChoice(combo->GetItemAt(index), languageCode);
}

void CMainWnd::Controls::FitTextWidths(CPaintManagerUI& manager) { Skin::FitTextWidths(manager); }

void CMainWnd::Controls::StartAnimation(CControlUI* control) {
    if (auto* label = dynamic_cast<::Controls::CSequenceLabelUI*>(control)) label->Start();
    else if (auto* button = dynamic_cast<::Controls::CSequenceButtonUI*>(control)) button->Start();
}
