#include "install/CPackageRunner.h"

#include "install/InstallCodes.h"
#include "install/InstallFiles.h"
#include "install/InstallTexts.h"
#include "install/StatusChildRun.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

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
    line += std::wstring(L" -adminact=") + Utils::FlagText(userIsAdmin_);
    line += std::wstring(L" -authorizationact=") + Utils::FlagText(processIsElevated_);
    line += std::wstring(L" -dsc=") + Utils::FlagText(desktopIcon_);
    line += std::wstring(L" -ssc=") + Utils::FlagText(taskbarPin_);
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

    StatusChildRun child;
    const StatusChildRun::Result result =
        child.Run(program, commandLine_, [this](std::string_view line) { return parser_.ParseRawLine(line, callback_); });
    QLOG(L"package run over (%d), exit status %d, signal %d, final state %d\r\n", static_cast<int>(result.end),
         result.exitStatus, result.signal, result.finalState);
    if (result.end == StatusChildRun::End::kNotStarted) {
        callback_(IST_CODE_FAIL, kFailNotStarted, L"");
        return;
    }
    if (result.finalState != PackageStatusParser::kNoFinalState) return;
    // Without a final line only a clean exit counts as success: a package that failed or
    // crashed before reporting must not leave an "installed" product behind.
    if (result.end == StatusChildRun::End::kEnded && result.exitStatus == 0 && result.signal == 0) {
        callback_(INSTALL_SUCCESS, 1, L"");
        return;
    }
    const std::wstring text = InstallTexts::Text(L"IDFailInstPack") + L": " + StatusChildRun::DescribeEnd(result);
    callback_(IST_CODE_FAIL, kFailAbnormalEnd, text.c_str());
}
