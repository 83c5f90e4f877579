#include "install/CPackageRunner.h"

#include "install/ChildOutputPump.h"
#include "install/InstallCodes.h"
#include "install/InstallFiles.h"
#include "install/StatusLineBuffer.h"
#include "utils/Exception.h"
#include "utils/Log.h"
#include "utils/PipedProcess.h"

namespace {

const wchar_t* Flag(bool value) { return value ? L"true" : L"false"; }

}  // namespace

CPackageRunner::CPackageRunner(DownloadCallback callback, std::wstring quotedPackagePath, std::wstring installFolder,
                               std::wstring language)
    : callback_(std::move(callback)),
      packagePath_(std::move(quotedPackagePath)),
      installFolder_(std::move(installFolder)),
      language_(std::move(language)) {}

CPackageRunner::~CPackageRunner() {
    if (worker_) worker_->Join();
}

void CPackageRunner::SetOptions(bool desktopIcon, bool taskbarPin, bool userIsAdmin, bool processIsElevated) {
    desktopIcon_ = desktopIcon;
    taskbarPin_ = taskbarPin;
    userIsAdmin_ = userIsAdmin;
    processIsElevated_ = processIsElevated;
}

std::wstring CPackageRunner::BuildCommandLine() const {
    std::wstring line = packagePath_;
    line += L" /S -console=show -version=1.0.0";
    line += std::wstring(L" -adminact=") + Flag(userIsAdmin_);
    line += std::wstring(L" -authorizationact=") + Flag(processIsElevated_);
    line += std::wstring(L" -dsc=") + Flag(desktopIcon_);
    line += std::wstring(L" -ssc=") + Flag(taskbarPin_);
    if (!instCmd_.empty()) line += L" " + instCmd_;
    line += L" -inslang=\"" + language_ + L"\"";
    if (!installFolder_.empty()) {
        line += L" -instdir=\"" + installFolder_ + L"\"";
        line += L" /D=" + installFolder_;
    }
    return line;
}

void CPackageRunner::Run() {
    commandLine_ = BuildCommandLine();
    if (worker_) {
        worker_->Join();
        worker_.reset();
    }
    worker_ = std::make_unique<Utils::Thread>(this, L"ABDEF", &CPackageRunner::WorkerRoutine);
    if (!worker_->Resume()) {
        // No thread could be made: the run still ends with an outcome, on this thread.
        QLOG(L"package worker not started\r\n");
        callback_(IST_CODE_START, 0, L"");
        callback_(IST_CODE_FAIL, kFailNotStarted, L"");
    }
}

unsigned CPackageRunner::WorkerRoutine(void* self) {
    static_cast<CPackageRunner*>(self)->Work();
    return 0;
}

void CPackageRunner::Work() {
    callback_(IST_CODE_START, 0, L"");
    const std::wstring program = InstallFiles::Unquote(packagePath_);
    if (program.empty()) {
        callback_(IST_CODE_FAIL, kFailNoPackage, L"");
        return;
    }
    callback_(IST_CODE_PROGRESS, 0, L"");

    std::unique_ptr<Utils::PipedProcess> process;
    try {
        InstallFiles::MakeOwnerExecutable(program);
        process = std::make_unique<Utils::PipedProcess>();
        process->Start(commandLine_);
    } catch (const Utils::Exception& e) {
        QLOG(L"package not started: %S\r\n", e.what());
        callback_(IST_CODE_FAIL, kFailNotStarted, L"");
        return;
    }

    int finalState = PackageStatusParser::kNoFinalState;
    StatusLineBuffer lines;
    const auto onLine = [&](std::string_view line) {
        if (finalState != PackageStatusParser::kNoFinalState) return;  // drained and discarded
        finalState = parser_.ParseRawLine(line, callback_);
    };
    ChildOutputPump::Run(*process, [&](std::string_view bytes) {
        if (finalState == PackageStatusParser::kNoFinalState) lines.Feed(bytes, onLine);
    });
    lines.Finish(onLine);
    const int exitCode = process->Wait();
    process.reset();
    QLOG(L"package ended, exit code %d, final state %d\r\n", exitCode, finalState);

    if (finalState == PackageStatusParser::kNoFinalState) callback_(INSTALL_SUCCESS, 1, L"");
}
