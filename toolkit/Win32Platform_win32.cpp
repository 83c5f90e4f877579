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

#include "utils/SystemFunction_win32.h"

namespace Toolkit {
namespace {

// The system DPI: GetDpiForSystem from Windows 10 1607 on, the screen's logical pixels before.
UINT SystemDpi() {
    static const auto forSystem = Utils::win::SystemFunction<UINT(WINAPI*)()>(L"user32.dll", "GetDpiForSystem");
    if (forSystem)
        if (const UINT dpi = forSystem()) return dpi;
    HDC screen = GetDC(nullptr);
    if (!screen) return 96;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// The best DPI awareness the system offers: per-monitor v2 (Windows 10 1703), per-monitor
// through the shell's scaling functions (8.1), system DPI (7). Windows then send WM_DPICHANGED
// and are drawn at the monitor's density instead of being stretched by the system. A setting
// already made (by the manifest) is kept: the calls then fail with ERROR_ACCESS_DENIED or
// E_ACCESSDENIED.
void BecomeDpiAware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    if (const auto setContext = Utils::win::SystemFunction<SetContext>(L"user32.dll", "SetProcessDpiAwarenessContext")) {
        // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
        if (setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))) || GetLastError() == ERROR_ACCESS_DENIED) return;
    }
    using SetAwareness = HRESULT(WINAPI*)(int);
    if (const auto setAwareness = Utils::win::SystemFunction<SetAwareness>(L"shcore.dll", "SetProcessDpiAwareness")) {
        const HRESULT set = setAwareness(2);  // PROCESS_PER_MONITOR_DPI_AWARE
        if (SUCCEEDED(set) || set == E_ACCESSDENIED) return;
    }
    if (!SetProcessDPIAware()) std::fprintf(stderr, "cannot make the process DPI aware (%lu)\n", GetLastError());
}

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

    int ScreenScale() const override { return SystemDpi() >= 144 ? 2 : 1; }

private:
    Win32Scheduler scheduler_;
};

}  // namespace

namespace {

// -1 until asked, then 0 or 1.
int g_composes = -1;

bool AskDesktopComposes() {
    // Through the system folder only (the lookup's rule): dwmapi is no known DLL, and a copy
    // beside the installer (a downloads folder) must never be loaded.
    using IsEnabled = HRESULT(WINAPI*)(BOOL*);
    const auto query = Utils::win::SystemFunction<IsEnabled>(L"dwmapi.dll", "DwmIsCompositionEnabled");
    BOOL enabled = FALSE;
    return query && SUCCEEDED(query(&enabled)) && enabled;
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
    BecomeDpiAware();
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
