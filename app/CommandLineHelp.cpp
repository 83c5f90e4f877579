#include "app/CommandLineHelp.h"

#include "config/InstallerSettings.h"
#include "utils/PathText.h"
#include "utils/StringUtils.h"

#ifndef QV_INSTALLER_VERSION
#error "the build names the installer's version (QV_INSTALLER_VERSION)"
#endif

namespace {

constexpr char kUsageHead[] =
    "Usage: quorvex-installer [options]\n"
    "       quorvex-installer -silent [-installdir=FOLDER] [options]\n"
    "\n"
    "Without -silent the installer opens its window; with it, it installs without one and\n"
    "prints its progress. Options override VarnelInstallerConfig.ini beside the program:\n"
    "  -silent                     install without a window\n"
    "  -installdir=FOLDER          the install folder of an unattended install\n"
    "  -downloadurl=URL            the package's URL\n"
    "  -downloadtype=N             2 system URL loader, 3 multi-connection, else single\n"
    "  -downloadscale=X            share of the progress bar for the download (0..1)\n"
    "  -ischecknet=true            probe the network first\n"
    "  -isenableappanalytics=true  analytics on (anything else: off)\n"
    "  -dlappnamesuffix=S          appended to the product name for analytics\n"
    "  -dlappversion=S             the product version given to analytics\n"
    "  -instcmd=S                  extra arguments for the package's command line\n"
    "  -downloadsha256=HEX         the package's SHA-256 (64 hexadecimal digits)\n"
    "  -log=FILE                   write the diagnostic trace to FILE\n"
    "  -verbose                    also write the trace to standard error (QV_TRACE=stderr too)\n"
    "  -h, -?, --help              this text\n"
    "  --version                   the product's and the installer's versions\n"
    "\n"
    "Exit codes: 0 done, 255 another installer is running, 1 no window (no display),\n"
    "2 unusable folder, 3 less than 1 GiB free, 4 network probe failed, 5 the uninstaller or\n"
    "an earlier package still runs, 6 the installed copy's uninstaller failed, 7 download\n"
    "failed, 8 package failed, 9 private temporary folder unusable, 10 no standard streams,\n"
    "128+N stopped by signal N.\n"
    "\n";

}  // namespace

CommandLineHelp::Request CommandLineHelp::Find(const std::vector<std::wstring>& arguments) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& a = arguments[i];
        if (a == L"--help" || a == L"-h" || a == L"-?") return Request::kUsage;
        if (a == L"--version") return Request::kVersion;
    }
    return Request::kNone;
}

std::string CommandLineHelp::Usage(const std::filesystem::path& logPath) {
    return kUsageHead + std::string("Diagnostic trace: ") + Utils::ToUtf8(Utils::PathToWide(logPath)) +
           " (the last three runs kept)\n";
}

std::string CommandLineHelp::Version() {
    return "Quorvex " + Utils::ToUtf8(InstallerSettings().ProductVersion) + " (installer " QV_INSTALLER_VERSION ")\n";
}
