// The installer's run: start-up in a fixed order, the installer's work, then shutdown in
// reverse. Everything here runs on the main thread.
#include "app/InstallerMain.h"

#include <clocale>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandLineHelp.h"
#include "app/CrashHandler.h"
#include "app/CrashMarker.h"
#include "app/CrashReporter.h"
#include "app/InstanceLock.h"
#include "app/ProcessHardening.h"
#include "app/ScreenSize.h"
#include "app/TraceStart.h"
#include "config/InstallerSettings.h"
#include "config/LocaleTable.h"
#include "utils/Log.h"
#include "utils/LogFile.h"
#include "utils/PathText.h"
#ifdef QV_WITH_INSTALL
#include "analytics/core/Diagnostics.h"
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

// "--help" and friends: the text on standard output, nothing else started.
int PrintHelp(CommandLineHelp::Request request) {
    const std::string text = request == CommandLineHelp::Request::kVersion
                                 ? CommandLineHelp::Version()
                                 : CommandLineHelp::Usage(Utils::LogFile::DefaultPath());
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitNoStandardDescriptors;
}

// The trace's destination, then the collection core's own messages into the same trace.
void StartTrace(const std::vector<std::wstring>& arguments, TraceStart::Run run) {
    TraceStart::Open(arguments, run);
#ifdef QV_WITH_INSTALL
    collect::detail::SetReportHandler([](std::string_view text) {
        const std::string line(text);
        QLOG(L"%S\r\n", line.c_str());
    });
#endif
}

// The reporter run that a crashed installer starts (CrashReporter): it takes the marker and
// sends the two crash records at once, with the crashed run's settings (its arguments follow
// the private option). What cannot be delivered stays in the analytics staging file for the next
// start; the marker is not needed for that and is gone, so the crash is reported once.
int ReportCrashNow(const std::vector<std::wstring>& arguments) {
    static const CrashMarker crashMarker(CrashMarker::DefaultPath());
    static std::optional<int> crashCode;
    crashCode = crashMarker.Take();
    if (!crashCode) return kExitOk;  // already reported (a start that came first)
    // A crash of this run before the records are safe gives the marker back to the next start.
    CrashHandler::Install([](int) { crashMarker.Write(*crashCode); });
    QLOG(L"previous run crashed (%s)\r\n", CrashHandler::Describe(*crashCode).c_str());
    InstallerSettings& settings = InstallerSettings::Instance();
    LanguageId();
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) {
        settings.IsCurlReady = false;  // the records then wait in the staging file
        QLOG(L"curl_global_init FAIL\r\n");
    }
    settings.ApplyCommandLine(arguments);
#ifdef QV_WITH_INSTALL
    // The crashed run reported its own failed HTTP start-up already.
    InstallerAnalytics::Start(settings, false);
    InstallerAnalytics::ReportCrash();
    InstallerAnalytics::Release(settings);
#endif
    CrashHandler::Install({});  // delivered or staged: a crash from here on must not report again
    curl_global_cleanup();
    return kExitOk;
}

}  // namespace

int RunInstaller(int argc, char** argv) {
    // The trace's destination depends on the options: until it is chosen lines wait in memory.
    Utils::HoldLog();

    // 0. Before anything opens a file: a closed standard descriptor would be taken by that
    // file and receive the trace or a child's output. Without one we cannot run safely.
    if (!OpenClosedStandardDescriptors()) return kExitNoStandardDescriptors;

    // Only the character type follows the user's locale (for the "ACP" code page); numbers
    // keep the "C" rules so "0.7" reads the same everywhere.
    std::setlocale(LC_CTYPE, "");

    // 1. Hardening, before any thread or library starts.
    HardenProcess();
    InstallScreenSizeProvider();  // for the analytics' screen size

    // A person asking for the usage or the version gets it before anything starts.
    const std::vector<std::wstring> startArguments = ReadProcessArguments();
    if (const auto request = CommandLineHelp::Find(startArguments); request != CommandLineHelp::Request::kNone)
        return PrintHelp(request);

    // A reporter run started by a crashed installer does only that, tracing into the crashed
    // run's log.
    if (CrashReporter::Requested(startArguments)) {
        StartTrace(startArguments, TraceStart::Run::kContinuing);
        return ReportCrashNow(startArguments);
    }
    StartTrace(startArguments, TraceStart::Run::kFresh);

    // 2. Last-chance crash trace, then the system's own handling. The handler leaves a marker
    // and starts a reporter process, which sends the report at once; when that fails, the next
    // start (step 5) finds the marker and sends it.
    static const CrashMarker crashMarker(CrashMarker::DefaultPath());
    if (!crashMarker.Prepare())
        QLOG(L"crash marker folder unavailable: %s\r\n", Utils::PathToWide(crashMarker.Path()).c_str());
    if (!CrashReporter::Prepare()) QLOG(L"crash reporter unavailable: crashes are reported by the next start\r\n");
    CrashHandler::Install([](int crashCode) {
        crashMarker.Write(crashCode);
        CrashReporter::Launch();
    });

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
