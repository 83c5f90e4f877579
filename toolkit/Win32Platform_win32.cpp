#include <cstdio>
#include <cstdlib>

#include "toolkit/Platform.h"
#include "toolkit/Win32Host.h"
#include "toolkit/Win32Scheduler_win32.h"
#include "toolkit/Win32WindowHost_win32.h"
#include "toolkit/WindowBase.h"
#include "utils/StringUtils.h"

#include "utils/WindowsApi_win32.h"

#include <objbase.h>

namespace Toolkit {
namespace {

class Win32Platform : public IPlatform {
public:
    std::unique_ptr<INativeWindow> CreateNativeWindow(CWindowBase& window, CWindowBase* owner,
                                                      const std::wstring& title, int width, int height) override {
        auto host = std::make_unique<Win32WindowHost>(window, owner, title, width, height);
        if (!host->IsCreated()) return nullptr;
        return host;
    }

    IScheduler& Scheduler() override { return scheduler_; }
    bool Ready() const { return scheduler_.IsReady(); }

    void RunLoop(const std::function<bool()>& keepRunning) override {
        MSG msg;
        while (keepRunning()) {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got == -1) {
                std::fprintf(stderr, "GetMessageW failed (%lu)\n", GetLastError());
                CWindowBase::PostQuit(1);
                return;
            }
            if (got == 0) {
                // WM_QUIT: the toolkit's own quit request, so every modal loop ends as well.
                CWindowBase::PostQuit(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    void ReportLoadFailure(const std::wstring& text, const std::wstring& caption) override {
        // Also left on standard error for logs (a test or a console shows it).
        std::fprintf(stderr, "%s: %s\n", Utils::ToUtf8(caption).c_str(), Utils::ToUtf8(text).c_str());
        std::fflush(stderr);
        if (!MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND))
            std::fprintf(stderr, "MessageBoxW failed (%lu)\n", GetLastError());
    }

    void ExitProcess(int code) override {
        std::fflush(nullptr);
        std::exit(code);
    }

    int ScreenScale() const override { return GetDpiForSystem() >= 144 ? 2 : 1; }

private:
    Win32Scheduler scheduler_;
};

}  // namespace

namespace {

// -1 until asked, then 0 or 1.
int g_composes = -1;

bool AskDesktopComposes() {
    // Through the system folder only: dwmapi is no known DLL, and a copy beside the installer
    // (a downloads folder) must never be loaded.
    HMODULE dwm = LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!dwm) return false;
    using IsEnabled = HRESULT(WINAPI*)(BOOL*);
    auto query = reinterpret_cast<IsEnabled>(reinterpret_cast<void*>(GetProcAddress(dwm, "DwmIsCompositionEnabled")));
    BOOL enabled = FALSE;
    const bool composes = query && SUCCEEDED(query(&enabled)) && enabled;
    FreeLibrary(dwm);
    return composes;
}

}  // namespace

bool DesktopComposes() {
    if (g_composes < 0) g_composes = AskDesktopComposes() ? 1 : 0;
    return g_composes == 1;
}

void SetDesktopComposes(bool composes) { g_composes = composes ? 1 : 0; }

bool InitWin32Host() {
    static Win32Platform* platform = nullptr;
    if (platform) return GetPlatform() == platform && platform->Ready();
    // Per-monitor (v2): windows get WM_DPICHANGED and are drawn at the monitor's density
    // instead of being stretched by the system. Older systems take the process-wide setting.
    if (!SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) &&
        GetLastError() != ERROR_ACCESS_DENIED &&  // already set (manifest): keep it
        !SetProcessDPIAware())
        std::fprintf(stderr, "cannot make the process DPI aware (%lu)\n", GetLastError());
    // The user-interface thread is a single-threaded COM apartment for as long as the process
    // lives: screen readers' calls to the windows' automation providers are brought to it, and
    // the shell's dialogs need it. A thread already in another model keeps it.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(com) && com != RPC_E_CHANGED_MODE)
        std::fprintf(stderr, "no COM apartment for the windows (0x%08lx)\n", static_cast<unsigned long>(com));
    platform = new Win32Platform;  // lives as long as the process
    SetPlatform(platform);
    return platform->Ready();
}

}  // namespace Toolkit
