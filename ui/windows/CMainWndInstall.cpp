// The main window's install flow: pre-checks, the network probe, the hand-over to the install
// session, its events, progress, failures, finish and the product launch. The session keeps
// the records, the registry values and the analytics events; this file shows what it decides.
#include <chrono>
#include <filesystem>

#include "config/InstallerSettings.h"
#include "config/LocaleTable.h"
#include "install/DownloadRateText.h"
#include "install/InstallSession.h"
#include "toolkit/CheckBox.h"
#include "toolkit/Progress.h"
#include "toolkit/TabLayout.h"
#include "ui/skin/TextTable.h"
#include "ui/windows/CMainWnd.h"
#include "ui/windows/CMainWndControls.h"
#include "ui/windows/CMessageBoxWnd.h"
#include "ui/windows/DesktopServices.h"
#include "ui/windows/MainWndRules.h"
#include "utils/Log.h"
#include "utils/SpecialFolders.h"
#include "utils/StringUtils.h"
#include "utils/Thread.h"
#include "install/InstallCodes.h"
#include "install/InstallFiles.h"

using namespace Toolkit;
using namespace MainWndRules;

namespace {


std::int64_t MonotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int CMainWnd::Notice(const wchar_t* layout, const std::wstring& captionId, const std::wstring& text) {
    const std::wstring caption = Skin::GetText(captionId);
    return ShowSkinMessageBox(this, SkinWindowSpec::ForLayout(layout), text.c_str(), caption.c_str());
}

void CMainWnd::SetInstallButtonsEnabled(bool enabled) {
    if (c_->defaultInstallBtn) c_->defaultInstallBtn->SetEnabled(enabled);
    if (c_->customeInstallBtn) c_->customeInstallBtn->SetEnabled(enabled);
}

bool CMainWnd::StartInstall(const std::wstring& folder, bool desktopIcon, bool taskbarPin) {
    const InstallerSettings& settings = InstallerSettings::Instance();
    InstallParams params;
    TakeInstallSettings(params, settings);
    params.folder = folder;
    params.language = LanguageCode;
    params.languageId = LanguageId().load();
    params.desktopIcon = desktopIcon;
    params.taskbarPin = taskbarPin;
    params.userIsAdmin = admin_.userIsAdmin;
    params.processIsAdmin = admin_.processIsAdmin;
    params.previous = previous_;
    session_->SetParams(params);

    // 1. A copy of the previous uninstaller still running: told, then on (the window closes
    // afterwards when a previous installation exists).
    if (auto busy = session_->Check(PreCheckStep::kUninstallerRunning)) {
        Notice(kNoticeLayout, L"IDMsgTip", Skin::GetText(busy->noticeId));
        if (HasPreviousInstall) RequestClose();
    }
    // 2.-4. Folder and free space stop the attempt.
    SetInstallButtonsEnabled(false);
    for (PreCheckStep step : {PreCheckStep::kFolder, PreCheckStep::kFreeSpace}) {
        if (auto failure = session_->Check(step)) {
            QLOG(L"pre-check failed: %s\r\n", failure->detail.c_str());
            Notice(kCentredNoticeLayout, L"IDMsgTip", Skin::GetText(failure->noticeId));
            OnInstall(0);
            return false;
        }
    }
    InstallPath = folder;
    QLOG(L"install into %s, check net %d\r\n", folder.c_str(), settings.IsCheckNet ? 1 : 0);
    // 8. The network probe on its own thread, or straight on.
    CControlUI* root = PaintManager().GetRoot();
    if (settings.IsCheckNet) {
        if (netCheckThread_) netCheckThread_->Join();
        CPaintManagerUI* manager = &PaintManager();
        netCheckThread_ = std::make_unique<Utils::Thread>(nullptr, L"ABDEF", [manager, root](void*) -> unsigned {
            // The manager's posting queue is the one part of the window a worker may use.
            manager->PostNotify(root, kCheckNet, InstallSession::CheckNetwork() ? 1 : 0);
            return 0;
        });
        netCheckThread_->Resume();
    } else {
        PaintManager().PostNotify(root, kInstall, 1);
    }
    return true;
}

void CMainWnd::OnCheckNet(std::intptr_t poor) {
    if (poor) Notice(kCentredNoticeLayout, L"IDMsgTip", Skin::GetText(L"IDNetPoor"));
    OnInstall(poor ? 0 : 1);
}

void CMainWnd::OnInstall(std::intptr_t go) {
    // A window that is closing starts nothing more.
    if (go != 0 && !closeRequested_ && IsWindow()) {
        SavedPage = CurrentPage();
        ShowPage(kProgressPage);
        session_->Start();
    }
    SetInstallButtonsEnabled(true);
}

void CMainWnd::ShowProgress(int percent) {
    const std::wstring id =
        c_->progressLb && !c_->progressLb->GetUserData().empty() ? c_->progressLb->GetUserData() : L"IDProgressing";
    if (c_->progressLb) c_->progressLb->SetText(ProgressText(Skin::GetText(id), percent));
    if (c_->installPrg && percent >= 0 && percent <= 100) c_->installPrg->SetValue(percent);
}

void CMainWnd::ShowDownloadRate(const UiEventRecord* record) {
    DownloadRate& rate = c_->downloadRate;
    const std::wstring package = session_->PackagePath();
    const DownloadRate::ByteSource bytesOnDisk = [&package] { return DownloadRate::BytesOnDisk(package); };
    const bool wasDownloading = rate.Downloading();
    if (record) rate.OnEvent(record->code, record->value, MonotonicMs(), bytesOnDisk);
    else rate.Tick(MonotonicMs(), bytesOnDisk);
    // The timer runs only while the download does, so a stalled download's speed still falls.
    if (CControlUI* root = PaintManager().GetRoot(); root && rate.Downloading() != wasDownloading) {
        if (rate.Downloading()) root->SetTimer(kDownloadRateTimer, kDownloadRatePeriodMs);
        else root->KillTimer(kDownloadRateTimer);
    }
    if (!c_->speedLb) return;
    const std::wstring line = DownloadRateText::Line(rate.BytesPerSecond(), rate.SecondsLeft(),
                                                     [](const std::wstring& id) { return Skin::GetText(id); });
    if (line != c_->speedLb->GetText()) c_->speedLb->SetText(line);
}

void CMainWnd::OnInstallerEvent(UiEventRecord* record) {
    std::unique_ptr<UiEventRecord> owned(record);
    if (!record) return;
    const UiEventRecord& e = *record;
    const InstallReaction reaction = session_->OnEvent(e.code, e.value, e.text);
    const ProductReport& product = session_->Reducer().Product();
    switch (e.code) {
        case PKG_CODE_INST_PATH: InstallPath = product.installPath; break;
        case PKG_CODE_EXE_PATH: ProductExePath = product.exePath; break;
        case PKG_CODE_UNINST_EP: UninstallerPath = product.uninstallerPath; break;
        case PKG_CODE_START_URL: StartUrl = product.startUrl; break;
        case PKG_CODE_STARTUP_STYLE: StartupStyle = product.startupStyle; break;
        // Unreported delays keep the window's own defaults (3 s, practically never).
        case PKG_CODE_TOP_SHOW: TopShowDelayMs = product.topShowDelayMs; break;
        case PKG_CODE_FINISH_CLOSE: FinishCloseDelayMs = product.finishCloseDelayMs; break;
        default: break;
    }
    if (reaction.percent && e.code != INSTALL_SUCCESS) ShowProgress(*reaction.percent);
    ShowDownloadRate(record);
    if (reaction.notice) Notice(kNoticeLayout, L"IDMessage", *reaction.notice);
    if (!reaction.ended) return;
    switch (session_->Reducer().Outcome()) {
        case InstallOutcome::kSucceeded: OnInstallSucceeded(); break;
        case InstallOutcome::kDownloadFailed: OnDownloadFailed(e); break;
        case InstallOutcome::kInstallFailed: OnInstallFailed(e); break;
        case InstallOutcome::kUninstallFailed:
        case InstallOutcome::kTempUnusable: OnUninstallFailed(); break;
        case InstallOutcome::kRunning: break;
    }
}

void CMainWnd::OnDownloadFailed(const UiEventRecord&) {
    // The session has reported the failure's reason; now the user chooses.
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
    Notice(kCentredNoticeLayout, L"IDMsgTip", e.text.empty() ? Skin::GetText(L"IDFailInstPack") : e.text);
    if (c_->installPrg && c_->installPrg->GetValue() >= 70) {
        if (c_->progressLb) c_->progressLb->SetText(c_->progressLbInitial);
        c_->installPrg->SetValue(0);
    }
    ShowPage(kDefaultPage);
}

void CMainWnd::OnUninstallFailed() {
    Notice(kNoticeLayout, L"IDMsgTip", Skin::GetText(L"IDMsgSoftRunning"));
    ShowPage(SavedPage);
    if (HasPreviousInstall) RequestClose();
}

void CMainWnd::OnInstallSucceeded() {
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

void CMainWnd::FinishInstall() {
    // The registry values and records are written by the session with the success event.
    if (StartupStyle == 1) RunProduct();
    CControlUI* root = PaintManager().GetRoot();
    if (!root) return;
    // Periods above what a timer takes mean "practically never".
    constexpr std::uint32_t kLongest = 0x7FFFFFFFu;
    if (TopShowDelayMs != 0) root->SetTimer(kTopShowTimer, std::min(TopShowDelayMs, kLongest));
    if (FinishCloseDelayMs != 0) root->SetTimer(kFinishCloseTimer, std::min(FinishCloseDelayMs, kLongest));
}

void CMainWnd::RunProduct() {
    if (StartUrl.size() > 5) DesktopServices::OpenStartPage(StartUrl);
    if (!ProductExePath.empty() && InstallFiles::FileExists(ProductExePath)) {
        DesktopServices::PumpFor(100);
        DesktopServices::StartProgram(ProductExePath, L"");
    }
}
