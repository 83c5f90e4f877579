#include "install/InstallSession.h"

#include <chrono>

#include "install/CDownloadInstaller.h"
#include "install/InstallCodes.h"
#include "install/InstallFiles.h"
#include "install/InstallFolderCheck.h"
#include "install/InstallerTaskEvents.h"
#include "install/ProcessSnapshot.h"
#include "install/ReportTaskEvent.h"
#include "utils/FileHandle.h"
#include "utils/HardDiskManager.h"
#include "utils/Log.h"
#include "utils/Network.h"
#include "utils/StringUtils.h"
#include "utils/SystemInfo.h"

namespace {

constexpr double kGiB = 1073741824.0;
constexpr wchar_t kPackageName[] = L"__Package_Quorvex.exe";

uint32_t NowMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

PreCheckFailure Failure(PreCheckStep step, const wchar_t* noticeId, std::wstring detail) {
    QLOG(L"pre-check failed: %s (%s)\r\n", noticeId, detail.c_str());
    return {step, noticeId, std::move(detail)};
}

uint64_t AvailableBytes(const std::wstring& path) {
    Utils::HardDiskManager disk;
    return disk.CheckFreeSpace(path) ? disk.AvailableToCaller() : 0;
}

// The window's writable test of a failed download's package path: a file that exists and
// cannot be removed is not writable; otherwise a new file must be creatable there (created
// without following links, and removed again).
bool PackagePathWritable(const std::wstring& package) {
    const std::string path = Utils::ToUtf8(package);
    if (!Utils::RemoveFile(path)) return false;
    Utils::FileHandle probe = Utils::FileHandle::CreateFresh(path, Utils::FileHandle::kModeShared);
    if (!probe.IsOpen()) return false;
    probe.Close();
    Utils::RemoveFile(path);
    return true;
}

}  // namespace

InstallSession::InstallSession(DownloadCallback onStageEvent)
    : onStageEvent_(std::move(onStageEvent)), reducer_(std::make_unique<InstallEventReducer>(0.7, L"")) {}

InstallSession::~InstallSession() = default;

void InstallSession::SetParams(InstallParams params) { params_ = std::move(params); }

std::wstring InstallSession::PackagePath() const { return InstallFiles::JoinPath(params_.folder, kPackageName); }

std::wstring InstallSession::UninstallerToRun() const {
    const std::wstring uninstaller = InstalledCopy::UninstallerToRun(params_.folder, params_.previous);
    return InstallFiles::FileExists(uninstaller) ? uninstaller : std::wstring();
}

std::optional<PreCheckFailure> InstallSession::CheckNetwork() {
    const uint32_t result = Utils::CheckNetwork();
    if ((result >> 16) == 0) return std::nullopt;
    return Failure(PreCheckStep::kNetwork, L"IDNetPoor", L"network probe result " + std::to_wstring(result));
}

std::optional<PreCheckFailure> InstallSession::Check(PreCheckStep step) {
    const std::wstring& folder = params_.folder;
    switch (step) {
        case PreCheckStep::kUninstallerRunning:
            if (ProcessSnapshot::IsRunning(Utils::ToUtf8(CDownloadInstaller::kUninstallerCopyName)))
                return Failure(step, L"IDMsgSoftRunning", L"a copy of the previous uninstaller is running");
            if (!folder.empty() && ProcessSnapshot::IsRunningFrom(Utils::ToUtf8(PackagePath())))
                return Failure(step, L"IDMsgSoftRunning", L"an earlier package still runs in " + folder);
            return std::nullopt;
        case PreCheckStep::kFolder: {
            std::wstring problem = InstallFolderCheck::NameProblem(folder);
            // Only a privileged installer can be led to run what another user planted.
            if (problem.empty() && Utils::IsProcessAdmin()) problem = InstallFolderCheck::OwnershipProblem(folder);
            if (problem.empty()) problem = InstallFolderCheck::CreateProblem(folder);
            if (problem.empty()) problem = InstallFolderCheck::WriteProblem(folder);
            if (problem.empty()) return std::nullopt;
            return Failure(step, L"IDInvalidPath", problem);
        }
        case PreCheckStep::kFreeSpace: {
            const uint64_t available = AvailableBytes(folder);
            if (static_cast<double>(available) / kGiB >= 1.0) return std::nullopt;
            return Failure(step, L"IDDiskLow", std::to_wstring(available) + L" bytes available");
        }
        case PreCheckStep::kNetwork:
            if (!params_.checkNetwork) return std::nullopt;
            return CheckNetwork();
    }
    return std::nullopt;
}

std::optional<PreCheckFailure> InstallSession::RunPreChecks() {
    for (const PreCheckStep step : kPreCheckOrder)
        if (auto failure = Check(step)) return failure;
    return std::nullopt;
}

void InstallSession::Start() {
    // The first attempt takes the bar's download share; later ones keep the smoothing.
    if (!installer_) reducer_ = std::make_unique<InstallEventReducer>(params_.downloadScale, params_.folder);
    else reducer_->Restart(params_.folder);
    if (!installer_) {
        installer_ = std::make_unique<CDownloadInstaller>(onStageEvent_, L"", L"", L"", L"en-US", true, true, true);
    }
    installer_->SetInstallParams(params_.downloadUrl, UninstallerToRun(), params_.folder, params_.language,
                                 params_.desktopIcon, params_.taskbarPin, params_.userIsAdmin, params_.processIsAdmin);
    installer_->SetStageOptions(params_.downloadType, params_.instCmd, params_.curlReady);
    installer_->SetExpectedSha256(params_.downloadSha256);
    installer_->Start();
}

std::wstring InstallSession::DownloadFailureReason(double value, const std::wstring& text) const {
    const std::wstring package = PackagePath();
    const uint32_t network = Utils::CheckNetwork();
    const bool writable = PackagePathWritable(package);
    const double freeGiB = static_cast<double>(AvailableBytes(package)) / kGiB;
    return InstallerTaskEvents::DownloadFailureReason(value, text, freeGiB, writable, network);
}

InstallReaction InstallSession::OnEvent(int32_t code, double value, const std::wstring& text) {
    InstallReaction reaction = reducer_->Apply(code, value, text, NowMs());
    const InstallationRecord record{reducer_->Product().installPath, params_.language, params_.languageId,
                                    params_.installerFileName};
    if (reaction.writeRecords) InstalledCopy::WriteInstallationRecords(record);
    if (reaction.downloadFailed) ReportTaskEvent(DownloadFailureReason(value, text));
    for (const auto& task : reaction.tasks) ReportTaskEvent(task);
    if (reaction.finishInstall) InstalledCopy::FinishInstall(record, reducer_->Product().uninstallerPath);
    return reaction;
}
