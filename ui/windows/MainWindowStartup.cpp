#include "ui/windows/MainWindowStartup.h"

#include "app/LocaleTable.h"
#include "toolkit/GtkHost.h"
#include "toolkit/ResourceSet.h"
#include "ui/windows/CMainWnd.h"

namespace MainWindowStartup {

bool OpenDisplay(int* argc, char*** argv) { return Toolkit::InitGtkHost(argc, argv); }

void PrepareSkin() {
    LanguageId() = 1033;
    Toolkit::SetCurrentLanguage(L"en-US");
}

std::unique_ptr<CMainWnd> RunMainWindow(const std::wstring& title) {
    auto window = std::make_unique<CMainWnd>();
    window->Run(title);
    return window;
}

}  // namespace MainWindowStartup
