#include "ui/windows/CMainWndControls.h"

#include "app/LocaleTable.h"
#include "toolkit/Combo.h"
#include "toolkit/ResourceSet.h"

using namespace Toolkit;

namespace {

struct Language {
    const wchar_t* locale;
    const wchar_t* label;
    uint16_t lcid;
};
constexpr Language kLanguages[] = {{L"en-US", L"English", 1033}, {L"zh-TW", L"繁體中文", 1028}};

}  // namespace

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

std::unique_ptr<CControlUI> CMainWnd::Controls::CreateInstallerControl(const std::wstring&) { return nullptr; }

void CMainWnd::Controls::FillLanguageList(CComboUI* combo) {
    if (!combo) return;
    combo->RemoveAll();
    for (const Language& language : kLanguages) combo->AddItem(language.label);
    combo->SelectItem(0);
}

void CMainWnd::Controls::SelectLanguage(CComboUI* combo, int index) {
    if (combo) combo->SelectItem(index);
}

std::wstring CMainWnd::Controls::ApplyLanguage(CComboUI*, int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kLanguages))) index = 0;
    LanguageId() = kLanguages[index].lcid;
    SetCurrentLanguage(kLanguages[index].locale);
    return kLanguages[index].locale;
}

void CMainWnd::Controls::StartAnimation(CControlUI*) {}
