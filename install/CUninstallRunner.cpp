#include "install/CUninstallRunner.h"

#include "install/InstallCodes.h"
#include "install/InstallFiles.h"
#include "install/StatusChildRun.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"
#include "utils/SystemInfo.h"

namespace {

bool ConsoleUserIsAdmin() {
    std::wstring user;
    return Utils::GetConsoleUserName(user) && Utils::IsUserAdmin(user);
}

}  // namespace

CUninstallRunner::CUninstallRunner(DownloadCallback callback, std::wstring uninstallerCopy,
                                   std::wstring previousInstallFolder)
    : callback_(std::move(callback)),
      uninstallerCopy_(std::move(uninstallerCopy)),
      installFolder_(std::move(previousInstallFolder)) {}

CUninstallRunner::~CUninstallRunner() { Join(); }

void CUninstallRunner::Join() {
    if (worker_) worker_->Join();
}

std::wstring CUninstallRunner::BuildCommandLine(bool consoleUserIsAdmin, bool processIsElevated) const {
    return L"\"" + uninstallerCopy_ + L"\" /S -adminact=" + Utils::FlagText(consoleUserIsAdmin) + L" -authorizationact=" +
           Utils::FlagText(processIsElevated) + L" -console=show _?=" + installFolder_;
}

void CUninstallRunner::Run() {
    commandLine_ = BuildCommandLine(ConsoleUserIsAdmin(), Utils::IsProcessAdmin());
    if (worker_) {
        worker_->Join();
        worker_.reset();
    }
    worker_ = std::make_unique<Utils::Thread>(this, L"UnInstaller", &CUninstallRunner::WorkerRoutine);
    if (!worker_->Resume()) {
        QLOG(L"uninstall worker not started\r\n");
        callback_(UNIST_CODE_FAIL, kFailNotStarted, L"");
    }
}

unsigned CUninstallRunner::WorkerRoutine(void* self) {
    static_cast<CUninstallRunner*>(self)->Work();
    return 0;
}

void CUninstallRunner::Work() {
    if (!InstallFiles::FileExists(uninstallerCopy_)) {
        callback_(UNIST_CODE_FAIL, kFailNoUninstaller, kUninstallerMissingText);
        return;
    }
    callback_(UNIST_CODE_PROGRESS, 0, L"");

    StatusChildRun child;
    const StatusChildRun::Result result = child.Run(
        uninstallerCopy_, commandLine_, [this](std::string_view line) { return parser_.ParseRawLine(line, callback_); });
    QLOG(L"uninstaller run over (%d), exit status %d, signal %d, final state %d\r\n", static_cast<int>(result.end),
         result.exitStatus, result.signal, result.finalState);
    if (result.end == StatusChildRun::End::kNotStarted) {
        callback_(UNIST_CODE_FAIL, kFailNotStarted, L"");
        return;
    }
    if (result.finalState != UninstallStatusParser::kNoFinalState) return;
    // An uninstaller that had to be stopped has not uninstalled anything one can rely on;
    // any other end without a final line counts as success, as uninstallers expect.
    if (result.end == StatusChildRun::End::kIdleStopped) {
        callback_(UNIST_CODE_ERROR, 0, StatusChildRun::DescribeEnd(result).c_str());
        return;
    }
    callback_(UNIST_CODE_SUCCESS, 1, L"");
}
