#include "install/CDownloadInstaller.h"

#include "download/CCurlDownloader.h"
#include "download/CMTCurlDownloader.h"
#include "download/CWinDownloader.h"
#include "download/PackageKey.h"
#include "download/PackageVerifier.h"
#include "install/InstallCodes.h"
#include "install/InstallFiles.h"
#include "utils/Folders.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

CDownloadInstaller::CDownloadInstaller(DownloadCallback callback, std::wstring url, std::wstring previousUninstaller,
                                       std::wstring installFolder, std::wstring language, bool desktopIcon,
                                       bool taskbarPin, bool userIsAdmin)
    : url_(std::move(url)),
      previousUninstaller_(std::move(previousUninstaller)),
      installFolder_(std::move(installFolder)),
      desktopIcon_(desktopIcon),
      taskbarPin_(taskbarPin),
      userIsAdmin_(userIsAdmin),
      packageKeyHex_(Download::BuiltInPackageKeyHex()),
      language_(std::move(language)),
      callback_(std::move(callback)) {}

CDownloadInstaller::~CDownloadInstaller() {
    {
        std::lock_guard<std::mutex> lock(stageMutex_);
        stopping_ = true;
    }
    // An uninstall runner may have started the download and a downloader the package runner:
    // each is stopped before the stage it could have started.
    uninstallRunner_.reset();
    downloader_.reset();
    packageRunner_.reset();
    RemoveLeftPackage();
}

void CDownloadInstaller::RemovePackage(const std::wstring& package) {
    if (InstallFiles::DeleteFileIfExists(package)) return;
    std::lock_guard<std::mutex> lock(stageMutex_);
    packageLeft_ = package;
}

void CDownloadInstaller::RemoveLeftPackage() {
    std::lock_guard<std::mutex> lock(stageMutex_);
    if (!packageLeft_.empty() && InstallFiles::DeleteFileIfExists(packageLeft_)) packageLeft_.clear();
}

void CDownloadInstaller::SetInstallParams(std::wstring url, std::wstring previousUninstaller,
                                          std::wstring installFolder, std::wstring language, bool desktopIcon,
                                          bool taskbarPin, bool userIsAdmin, bool processIsElevated) {
    url_ = std::move(url);
    previousUninstaller_ = std::move(previousUninstaller);
    installFolder_ = std::move(installFolder);
    language_ = std::move(language);
    desktopIcon_ = desktopIcon;
    taskbarPin_ = taskbarPin;
    userIsAdmin_ = userIsAdmin;
    processIsElevated_ = processIsElevated;
}

void CDownloadInstaller::SetStageOptions(int downloadType, std::wstring instCmd, bool curlReady) {
    downloadType_ = downloadType;
    instCmd_ = std::move(instCmd);
    curlReady_ = curlReady;
}

void CDownloadInstaller::SetExpectedSha256(const std::wstring& digest) { expectedSha256_ = Utils::ToUtf8(digest); }

void CDownloadInstaller::SetPackageKey(std::string keyHex) { packageKeyHex_ = std::move(keyHex); }

std::wstring CDownloadInstaller::GetPackagePath() const {
    return InstallFiles::JoinPath(installFolder_, L"__Package_Quorvex.exe");
}

void CDownloadInstaller::MakeDownloader() {
    const int type = downloadType_;
    auto handler = [this](int32_t code, double value, const wchar_t* text) { OnDownloadEvent(code, value, text); };
    downloader_.reset();  // waits for an earlier worker before its replacement exists
    if (type == 2) downloader_ = std::make_unique<CWinDownloader>(handler, url_, packagePath_);
    else if (type == 3) downloader_ = std::make_unique<CMTCurlDownloader>(handler, url_, packagePath_, curlReady_);
    else downloader_ = std::make_unique<CCurlDownloader>(handler, url_, packagePath_);
    downloadTarget_ = packagePath_;
    downloaderUrl_ = url_;
    downloaderType_ = type;
}

void CDownloadInstaller::StartStage(const std::function<void()>& start) {
    std::lock_guard<std::mutex> lock(stageMutex_);
    if (!stopping_) start();
}

void CDownloadInstaller::Start() {
    RemoveLeftPackage();
    packagePath_ = GetPackagePath();
    QLOG(L"DL_TYPE=%d\r\n", downloadType_);
    // A new folder needs a downloader that writes there; the same folder reuses the old one,
    // except the system URL downloader, which runs only once in its life: a retry with it
    // would otherwise wait for ever.
    if (!downloader_ || downloadTarget_ != packagePath_ || downloaderType_ != downloadType_ || downloadType_ == 2)
        MakeDownloader();
    const std::wstring quotedPackage = L"\"" + packagePath_ + L"\"";
    if (!packageRunner_) {
        packageRunner_ = std::make_unique<CPackageRunner>(
            [this](int32_t code, double value, const wchar_t* text) { OnInstallEvent(code, value, text); },
            quotedPackage, installFolder_, language_);
    }
    packageRunner_->SetPackagePath(quotedPackage);
    packageRunner_->SetInstallFolder(installFolder_);
    packageRunner_->SetLanguage(language_);
    packageRunner_->SetOptions(desktopIcon_, taskbarPin_, userIsAdmin_, processIsElevated_);
    packageRunner_->SetInstCmd(instCmd_);

    if (InstallFiles::FileExists(previousUninstaller_)) {
        const std::wstring tempFolder = Utils::GetTempFolder();
        const std::wstring copy = tempFolder.empty() ? L"" : InstallFiles::JoinPath(tempFolder, kUninstallerCopyName);
        uninstallRunner_.reset();
        // An unusable private temporary folder (full, foreign, not creatable) is a cause of
        // its own: the user is not to be told that the software is running. A refused source
        // leaves no copy, which the runner reports as a missing uninstaller.
        if (tempFolder.empty() ||
            InstallFiles::CopyFileReplacing(previousUninstaller_, copy) == InstallFiles::CopyOutcome::kTargetFailed) {
            QLOG(L"uninstaller copy to %s failed\r\n", copy.c_str());
            OnUninstallEvent(UNIST_CODE_FAIL, kFailTempUnusable, kTempUnusableText);
            return;
        }
        uninstallRunner_ = std::make_unique<CUninstallRunner>(
            [this](int32_t code, double value, const wchar_t* text) { OnUninstallEvent(code, value, text); }, copy,
            InstallFiles::ParentFolder(previousUninstaller_));
        uninstallRunner_->Run();
        return;
    }
    downloader_->Start();
}

// The handlers copy what their reaction needs before relaying: once the owner has an event that
// ends the chain it may call Start() again with new parameters.
void CDownloadInstaller::OnDownloadEvent(int32_t code, double value, const wchar_t* text) {
    const std::wstring folder = installFolder_;
    const std::wstring package = packagePath_;
    if (code == DL_CODE_SUCCESS && !PackagePassesChecks(package)) return;
    callback_(code, value, text);
    switch (code) {
        case DL_CODE_START:
            Utils::CreateDirectories(folder);
            QLOG(L"DL_CODE_START\r\n");
            break;
        case DL_CODE_PROGRESS:
            QLOG(L"DL_CODE_PROGRESS\r\n");
            break;
        case DL_CODE_SUCCESS:
            QLOG(L"DOWNLOAD_SUCCESS\r\n");
            StartStage([this] { packageRunner_->Run(); });
            QLOG(L"DL_CODE_SUCCESS\r\n");
            break;
        case DL_CODE_FAIL:
            InstallFiles::DeleteFileIfExists(package);
            QLOG(L"DL_CODE_FAIL\r\n");
            break;
        case DL_CODE_RETRY:
            StartStage([this] { downloader_->Start(); });
            QLOG(L"DL_CODE_RETRY\r\n");
            break;
        default:
            break;
    }
}

// Runs on the downloader's worker, after the download and before the owner hears of it: a
// refused package is gone before the owner learns of the failure, so nothing can start it.
bool CDownloadInstaller::PackagePassesChecks(const std::wstring& package) {
    const Download::PackageVerifier verifier(expectedSha256_, packageKeyHex_);
    if (!verifier.ChecksAnything(downloaderUrl_)) return true;
    const Download::PackageCheck check = verifier.Check(downloaderUrl_, package);
    if (check.passed) return true;
    QLOG(L"package refused: %s\r\n", check.reason.c_str());
    InstallFiles::DeleteFileIfExists(package);
    callback_(DL_CODE_FAIL, 0.0, check.reason.c_str());
    QLOG(L"DL_CODE_FAIL\r\n");
    return false;
}

void CDownloadInstaller::OnUninstallEvent(int32_t code, double value, const wchar_t* text) {
    callback_(code, value, text);
    switch (code) {
        case UNIST_CODE_START:
            QLOG(L"UNIST_CODE_START\r\n");
            break;
        case UNIST_CODE_PROGRESS:
            QLOG(L"UNIST_CODE_PROGRESS\r\n");
            break;
        case UNIST_CODE_SUCCESS:
            StartStage([this] {
                if (packageRunner_) downloader_->Start();
            });
            QLOG(L"UNIST_CODE_SUCCESS\r\n");
            break;
        case UNIST_CODE_FAIL:
            QLOG(L"UNIST_CODE_FAIL\r\n");
            break;
        case UNIST_CODE_ERROR:
            QLOG(L"UNIST_CODE_ERROR\r\n");
            break;
        default:
            break;
    }
}

void CDownloadInstaller::OnInstallEvent(int32_t code, double value, const wchar_t* text) {
    const std::wstring package = packagePath_;
    callback_(code, value, text);
    switch (code) {
        case IST_CODE_START:
            QLOG(L"IST_CODE_START\r\n");
            break;
        case INSTALL_SUCCESS:
            RemovePackage(package);
            QLOG(L"INSTALL_SUCCESS\r\n");
            break;
        case IST_CODE_FAIL:
            RemovePackage(package);
            QLOG(L"IST_CODE_FAIL\r\n");
            break;
        default:
            break;
    }
}
