// The installer's run: start-up in a fixed order, the installer's work, then shutdown in
// reverse. Everything here runs on the main thread.
#include "app/InstallerMain.h"

#include <clocale>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/CrashHandler.h"
#include "app/CrashMarker.h"
#include "app/InstanceLock.h"
#include "app/ProcessHardening.h"
#include "app/ScreenSize.h"
#include "config/InstallerSettings.h"
#include "config/LocaleTable.h"
#include "utils/Log.h"
#include "utils/PathText.h"
#ifdef QV_WITH_INSTALL
#include "install/CSilentInstaller.h"
#include "install/InstallerAnalytics.h"
#endif
#ifdef QV_WITH_WINDOWS
#include "ui/windows/CMainWnd.h"
#include "ui/windows/MainWindowStartup.h"
#endif
// Last: on Windows curl's header brings in the Windows API, whose macros (WM_CLOSE, WS_VISIBLE,
// ...) would otherwise rename the toolkit's constants above.
#include <curl/curl.h>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitAlreadyRunning = -1;  // 255 as the shell shows it
constexpr int kExitNoStandardDescriptors = 10;
constexpr int kExitNoWindow = 1;

[[maybe_unused]] int NoWindow() {
    std::fputs("quorvex-installer: no display found (DISPLAY is not set or cannot be opened);\n"
               "  \"-silent\" installs without a window: quorvex-installer -silent [-installdir=FOLDER]\n",
               stderr);
    return kExitNoWindow;
}

// A build without the window (the user interface is not part of it).
[[maybe_unused]] int WindowNotBuilt() {
    std::fputs("quorvex-installer: this build has no installer window;\n"
               "  \"-silent\" installs without one: quorvex-installer -silent [-installdir=FOLDER]\n",
               stderr);
    return kExitNoWindow;
}

}  // namespace

int RunInstaller(int argc, char** argv) {
    // 0. Before anything opens a file: a closed standard descriptor would be taken by that
    // file and receive the trace or a child's output. Without one we cannot run safely.
    if (!OpenClosedStandardDescriptors()) return kExitNoStandardDescriptors;

    // Only the character type follows the user's locale (for the "ACP" code page); numbers
    // keep the "C" rules so "0.7" reads the same everywhere.
    std::setlocale(LC_CTYPE, "");

    // 1. Hardening, before any thread or library starts.
    HardenProcess();
    InstallScreenSizeProvider();  // for the analytics' screen size

    // 2. Last-chance crash trace, then the system's own handling. The handler only leaves a
    // marker; the report itself is sent by the next start (step 5), where it is safe.
    static const CrashMarker crashMarker(CrashMarker::DefaultPath());
    if (!crashMarker.Prepare())
        QLOG(L"crash marker folder unavailable: %s\r\n", Utils::PathToWide(crashMarker.Path()).c_str());
    CrashHandler::Install([](int crashCode) { crashMarker.Write(crashCode); });

    // Defaults and the configuration file beside the executable.
    InstallerSettings& settings = InstallerSettings::Instance();
    LanguageId();

    // 3. The HTTP library; a failure is remembered and start-up goes on.
    const bool curlInitFailed = curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK;
    if (curlInitFailed) {
        settings.IsCurlReady = false;
        QLOG(L"curl_global_init FAIL\r\n");
    }

    // 4. One installer at a time: a second instance leaves at once, silently.
    InstanceLock lock;
    if (!lock.Acquire()) return kExitAlreadyRunning;  // also when no safe lock file can be had (logged)

    // 6. The command line, applied before analytics so its options shape the tracker.
    const std::vector<std::wstring> arguments = ReadProcessArguments();
    settings.ApplyCommandLine(arguments);
    QLOG(L"START %s %s type=%d url=%s\r\n", settings.ProductName.c_str(), settings.ProductVersion.c_str(),
         settings.DownloadType, settings.DownloadUrl.c_str());

    // 5. Analytics. The failed HTTP start-up of step 3 is reported here, once a tracker exists.
    // A crash of the previous run is reported now, from its marker.
    const std::optional<int> previousCrash = crashMarker.Take();
    if (previousCrash) QLOG(L"previous run crashed (%s)\r\n", CrashHandler::Describe(*previousCrash).c_str());
#ifdef QV_WITH_INSTALL
    InstallerAnalytics::Start(settings, curlInitFailed);
    if (previousCrash) InstallerAnalytics::ReportCrash();
#endif

    // The installer's work. "-silent": the whole install without a window.
    int exitCode = kExitOk;
    bool silent = false;
#ifdef QV_WITH_INSTALL
    silent = CSilentInstaller::Requested(arguments);
    if (silent) exitCode = CSilentInstaller().Run(arguments);
#endif
    // Otherwise the window: 7. skin and start language, 8. the main window, run modally. Its
    // object lives until step 11, so the orchestrator it owns goes after the tracker.
#ifdef QV_WITH_WINDOWS
    std::unique_ptr<CMainWnd> window;
    if (!silent) {
        // The toolkit sees only the program name: installer options are not its business.
        int toolkitArgc = argc > 0 ? 1 : 0;
        char* toolkitArgs[] = {argc > 0 ? argv[0] : nullptr, nullptr};
        char** toolkitArgv = toolkitArgs;
        if (!MainWindowStartup::OpenDisplay(&toolkitArgc, &toolkitArgv)) {
            exitCode = NoWindow();
        } else {
            MainWindowStartup::PrepareSkin();
            window = MainWindowStartup::RunMainWindow(settings.ProductName);
        }
    }
#else
    (void)argc;
    (void)argv;
    if (!silent) exitCode = WindowNotBuilt();
#endif

    // Shutdown in reverse order: 9. analytics (sends what is queued), 10. the HTTP library.
#ifdef QV_WITH_INSTALL
    InstallerAnalytics::Release(settings);
#endif
    curl_global_cleanup();
    // 11. The window and the orchestrator it owns (its runners wait for their threads).
#ifdef QV_WITH_WINDOWS
    window.reset();
#endif
    lock.Release();
    return exitCode;
}
