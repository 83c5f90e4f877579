// The main window's install flow: pre-checks, the network probe, the hand-over to the
// orchestrator, its events, progress, failures, finish and the product launch.
#include <chrono>
#include <cmath>
#include <filesystem>

#include "app/InstallerSettings.h"
#include "app/LocaleTable.h"
#include "install/CDownloadInstaller.h"
#include "install/InstallCodes.h"
#include "install/InstallFiles.h"
#include "install/ProcessSnapshot.h"
#include "toolkit/CheckBox.h"
#include "toolkit/Progress.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/TabLayout.h"
#include "ui/ReportTaskEvent.h"
#include "ui/windows/CMainWnd.h"
#include "ui/windows/CMainWndControls.h"
#include "ui/windows/CMessageBoxWnd.h"
#include "ui/windows/DesktopServices.h"
#include "ui/windows/DownloadFailureReason.h"
#include "ui/windows/MainWndRules.h"
#include "download/DownloadCallback.h"
#include "utils/Folders.h"
#include "utils/HardDiskManager.h"
#include "utils/Log.h"
#include "utils/Network.h"
#include "utils/SpecialFolders.h"
#include "utils/StringUtils.h"
#include "utils/Thread.h"

using namespace Toolkit;
using namespace MainWndRules;

namespace {

constexpr double kGiB = 1073741824.0;
constexpr std::uintptr_t kTopShowTimer = 10;
constexpr std::uintptr_t kFinishCloseTimer = 11;

std::uint64_t TickMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// A package value converted as an unsigned 32-bit number (negative and huge values wrap or
// saturate instead of being undefined).
std::uint32_t ToUint32(double value) {
    if (!std::isfinite(value)) return 0;
    if (value >= 4294967295.0) return 4294967295u;
    if (value <= -2147483648.0) return 0x80000000u;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(value));
}

int ToInt(double value) {
    if (!std::isfinite(value)) return 0;
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(value);
}

}  // namespace

int CMainWnd::Notice(const wchar_t* layout, const std::wstring& captionId, const std::wstring& text) {
    const std::wstring caption = LookupText(captionId);
    return ShowSkinMessageBox(this, SkinWindowSpec::ForLayout(layout), text.c_str(), caption.c_str());
}

void CMainWnd::SetInstallButtonsEnabled(bool enabled) {
    if (c_->defaultInstallBtn) c_->defaultInstallBtn->SetEnabled(enabled);
    if (c_->customeInstallBtn) c_->customeInstallBtn->SetEnabled(enabled);
}

bool CMainWnd::StartInstall(const std::wstring& folder, bool desktopIcon, bool taskbarPin) {
    // 1. A copy of the previous uninstaller still running.
    if (ProcessSnapshot::IsRunning(Utils::ToUtf8(CDownloadInstaller::kUninstallerCopyName))) {
        Notice(kNoticeLayout, L"IDMsgTip", LookupText(L"IDMsgSoftRunning"));
        if (HasPreviousInstall) RequestClose();
    }
    // 2.-4. Folder and free space.
    SetInstallButtonsEnabled(false);
    if (folder.empty() || !Utils::CreateDirectories(folder)) {
        Notice(kCentredNoticeLayout, L"IDMsgTip", LookupText(L"IDInvalidPath"));
        OnInstall(0);
        return false;
    }
    Utils::HardDiskManager disk;
    const double available = disk.CheckFreeSpace(folder) ? static_cast<double>(disk.AvailableToCaller()) : 0.0;
    if (available / kGiB < 1.0) {
        Notice(kCentredNoticeLayout, L"IDMsgTip", LookupText(L"IDDiskLow"));
        OnInstall(0);
        return false;
    }
    // 5.-7. The orchestrator's parameters.
    InstallPath = folder;
    const std::wstring uninstaller = InstalledCopy::UninstallerToRun(folder, previous_);
    const InstallerSettings& settings = InstallerSettings::Instance();
    orchestrator_->SetInstallParams(settings.DownloadUrl, uninstaller, folder, LanguageCode, desktopIcon, taskbarPin,
                                    admin_.userIsAdmin, admin_.processIsAdmin);
    QLOG(L"install into %s, check net %d\r\n", folder.c_str(), settings.IsCheckNet ? 1 : 0);
    // 8. The network probe, or straight on.
    CControlUI* root = PaintManager().GetRoot();
    if (settings.IsCheckNet) {
        if (netCheckThread_) netCheckThread_->Join();
        CPaintManagerUI* manager = &PaintManager();
        netCheckThread_ = std::make_unique<Utils::Thread>(nullptr, L"netcheck", [manager, root](void*) -> unsigned {
            // The manager's posting queue is the one part of the window a worker may use.
            manager->PostNotify(root, kCheckNet, static_cast<std::intptr_t>(Utils::CheckNetwork()));
            return 0;
        });
        netCheckThread_->Resume();
    } else {
        PaintManager().PostNotify(root, kInstall, 1);
    }
    return true;
}

void CMainWnd::OnCheckNet(std::intptr_t result) {
    const bool poor = (static_cast<std::uint32_t>(result) >> 16) != 0;
    if (poor) Notice(kCentredNoticeLayout, L"IDMsgTip", LookupText(L"IDNetPoor"));
    OnInstall(poor ? 0 : 1);
}

void CMainWnd::OnInstall(std::intptr_t go) {
    // A window that is closing starts nothing more.
    QLOG(L"install go=%d page=%d\r\n", static_cast<int>(go), CurrentPage());
    if (go != 0 && !closeRequested_ && IsWindow()) {
        SavedPage = CurrentPage();
        ShowPage(kProgressPage);
        orchestrator_->Start();
    }
    SetInstallButtonsEnabled(true);
}

void CMainWnd::ShowProgress(int percent) {
    const std::wstring id =
        c_->progressLb && !c_->progressLb->GetUserData().empty() ? c_->progressLb->GetUserData() : L"IDProgressing";
    if (c_->progressLb) c_->progressLb->SetText(ProgressText(LookupText(id), percent));
    if (c_->installPrg && percent >= 0 && percent <= 100) c_->installPrg->SetValue(percent);
}

void CMainWnd::OnInstallerEvent(UiEventRecord* record) {
    std::unique_ptr<UiEventRecord> owned(record);
    if (!record) return;
    const UiEventRecord& e = *record;
    switch (e.code) {
        case DL_CODE_START:
            DownloadStarted = true;
            DownloadStartTick = TickMs();
            ReportTaskEvent(L"开始下载大包");
            break;
        case DL_CODE_PROGRESS:
            ShowProgress(progress_.OnDownload(e.value));
            break;
        case DL_CODE_SUCCESS: {
            const auto elapsed = DownloadStarted ? static_cast<std::uint32_t>(TickMs() - DownloadStartTick) : 0u;
            ReportTaskEvent(DownloadDurationText(elapsed));
            ReportTaskEvent(L"大包下载完毕");
            break;
        }
        case DL_CODE_FAIL:
            OnDownloadFailed(e);
            break;
        case IST_CODE_START:
            WriteInstallationRecords();
            break;
        case IST_CODE_PROGRESS:
            ShowProgress(progress_.OnInstall(e.value));
            break;
        case INSTALL_SUCCESS:
            OnInstallSucceeded();
            break;
        case IST_CODE_FAIL:
            OnInstallFailed(e);
            break;
        case PKG_CODE_INST_PATH: InstallPath = e.text; break;
        case PKG_CODE_EXE_PATH: ProductExePath = e.text; break;
        case PKG_CODE_UNINST_EP: UninstallerPath = e.text; break;
        case PKG_CODE_START_URL: StartUrl = e.text; break;
        case PKG_CODE_STARTUP_STYLE: StartupStyle = ToInt(e.value); break;
        case PKG_CODE_TOP_SHOW: TopShowDelayMs = ToUint32(e.value); break;
        case PKG_CODE_FINISH_CLOSE: FinishCloseDelayMs = ToUint32(e.value); break;
        case PKG_CODE_MESSAGE:
            Notice(kNoticeLayout, L"IDMessage", e.text);
            break;
        case UNIST_CODE_FAIL:
        case UNIST_CODE_ERROR:
            OnUninstallFailed();
            break;
        default:
            break;
    }
}

void CMainWnd::OnDownloadFailed(const UiEventRecord& e) {
    ReportTaskEvent(DownloadFailureReason(ToInt(e.value), e.text, orchestrator_->GetPackagePath()));
    const int r = ShowSkinMessageBox(this, SkinWindowSpec::ForLayout(kNetworkTipLayout), nullptr, nullptr);
    if (r == 1 && HasPreviousInstall) RequestClose();
    if (r == 0) RetryInstall();
    // A retry that starts shows the progress page again when its "install" arrives.
    ShowPage(SavedPage);
}

bool CMainWnd::RetryInstall() {
    if (SavedPage == kDefaultPage) return StartInstall(DefaultInstallFolder(), true, true);
    if (SavedPage == kCustomPage)
        return StartInstall(CustomInstallFolder(), c_->createDSCb && c_->createDSCb->IsSelected(),
                            c_->createQSCb && c_->createQSCb->IsSelected());
    return false;
}

void CMainWnd::OnInstallFailed(const UiEventRecord& e) {
    ReportTaskEvent(InstallFailureReason(ToInt(e.value), e.text));
    Notice(kCentredNoticeLayout, L"IDMsgTip", e.text);
    if (c_->installPrg && c_->installPrg->GetValue() >= 70) {
        if (c_->progressLb) c_->progressLb->SetText(c_->progressLbInitial);
        c_->installPrg->SetValue(0);
    }
    ShowPage(kDefaultPage);
}

void CMainWnd::OnUninstallFailed() {
    Notice(kNoticeLayout, L"IDMsgTip", LookupText(L"IDMsgSoftRunning"));
    ShowPage(SavedPage);
    if (HasPreviousInstall) RequestClose();
}

void CMainWnd::OnInstallSucceeded() {
    ReportTaskEvent(L"安装成功");
    if (c_->installPrg) {
        c_->installPrg->SetValue(100);
        std::error_code ec;
        const auto fill = Utils::ExecutablePath().parent_path() / "res" / "mainWnd" / "installPrg3.png";
        if (std::filesystem::is_regular_file(fill, ec)) {
            c_->installPrg->SetAttribute(L"foreimage", Utils::FromUtf8(fill.string()));
            c_->installPrg->Invalidate();
        }
    }
    ShowPage(kFinishPage);
    FinishInstall();
}

void CMainWnd::WriteInstallationRecords() {
    InstalledCopy::WriteInstallationRecords(
        InstallationRecord{InstallPath, LanguageCode, LanguageId().load(), InstallerSettings::Instance().ExeFileName});
}

void CMainWnd::FinishInstall() {
    const InstallationRecord record{InstallPath, LanguageCode, LanguageId().load(),
                                    InstallerSettings::Instance().ExeFileName};
    UninstallerPath = InstalledCopy::FinishInstall(record, UninstallerPath);
    if (StartupStyle == 1) RunProduct();
    CControlUI* root = PaintManager().GetRoot();
    if (!root) return;
    // Periods above what a timer takes mean "practically never".
    constexpr std::uint32_t kLongest = 0x7FFFFFFFu;
    if (TopShowDelayMs != 0) root->SetTimer(kTopShowTimer, std::min(TopShowDelayMs, kLongest));
    if (FinishCloseDelayMs != 0) root->SetTimer(kFinishCloseTimer, std::min(FinishCloseDelayMs, kLongest));
}

void CMainWnd::RunProduct() {
    if (StartUrl.size() > 5) DesktopServices::OpenUri(StartUrl);
    if (!ProductExePath.empty() && InstallFiles::FileExists(ProductExePath)) {
        DesktopServices::PumpFor(100);
        DesktopServices::StartProgram(ProductExePath, L"");
    }
}
