#include "ui/windows/MainWindowStartup.h"

#include "toolkit/WindowIcon.h"
#include "ui/skin/ProductIcon.h"
#include "ui/skin/SkinPackage.h"
#include "ui/windows/CMainWnd.h"

namespace MainWindowStartup {

void PrepareSkin() {
    Skin::OpenSkinPackage();
    // The product icon on every top-level window, 1x and 2x.
    Toolkit::SetWindowIconImages(Skin::ProductIconPngFiles());
}

std::unique_ptr<CMainWnd> RunMainWindow(const std::wstring& title) {
    auto window = std::make_unique<CMainWnd>();
    window->Run(title);
    return window;
}

}  // namespace MainWindowStartup
