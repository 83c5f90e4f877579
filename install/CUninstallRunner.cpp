#include "install/CUninstallRunner.h"

#include "install/ChildOutputPump.h"
#include "install/InstallCodes.h"
#include "install/InstallFiles.h"
#include "install/StatusLineBuffer.h"
#include "utils/Exception.h"
#include "utils/Log.h"
#include "utils/PipedProcess.h"
#include "utils/SystemInfo.h"

namespace {

const wchar_t* Flag(bool value) { return value ? L"true" : L"false"; }

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
    return L"\"" + uninstallerCopy_ + L"\" /S -adminact=" + Flag(consoleUserIsAdmin) + L" -authorizationact=" +
           Flag(processIsElevated) + L" -console=show _?=" + installFolder_;
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

    std::unique_ptr<Utils::PipedProcess> process;
    try {
        InstallFiles::MakeOwnerExecutable(uninstallerCopy_);
        process = std::make_unique<Utils::PipedProcess>();
        process->Start(commandLine_);
    } catch (const Utils::Exception& e) {
        QLOG(L"uninstaller not started: %S\r\n", e.what());
        callback_(UNIST_CODE_FAIL, kFailNotStarted, L"");
        return;
    }

    int finalState = UninstallStatusParser::kNoFinalState;
    StatusLineBuffer lines;
    const auto onLine = [&](std::string_view line) {
        if (finalState != UninstallStatusParser::kNoFinalState) return;
        finalState = parser_.ParseRawLine(line, callback_);
    };
    ChildOutputPump::Run(*process, [&](std::string_view bytes) {
        if (finalState == UninstallStatusParser::kNoFinalState) lines.Feed(bytes, onLine);
    });
    lines.Finish(onLine);
    const int exitCode = process->Wait();
    process.reset();
    QLOG(L"uninstaller ended, exit code %d, final state %d\r\n", exitCode, finalState);

    if (finalState == UninstallStatusParser::kNoFinalState) callback_(UNIST_CODE_SUCCESS, 1, L"");
}
