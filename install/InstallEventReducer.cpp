#include "install/InstallEventReducer.h"

#include <cmath>

#include "download/DownloadCallback.h"
#include "install/InstallCodes.h"
#include "install/InstallerTaskEvents.h"

namespace {

// A delay the package reported, converted as an unsigned 32-bit integer (-1 gives
// 4294967295); values no integer can hold give 0.
uint32_t AsUnsigned32(double value) {
    if (!std::isfinite(value) || value >= 9.2e18 || value <= -9.2e18) return 0;
    return static_cast<uint32_t>(static_cast<int64_t>(value));
}

int AsStyle(double value) {
    if (!std::isfinite(value) || value > 2 || value < 0) return kNonStartup;
    return static_cast<int>(value);
}

}  // namespace

InstallEventReducer::InstallEventReducer(double downloadScale, std::wstring installFolder)
    : progress_(downloadScale) {
    product_.installPath = std::move(installFolder);
}

void InstallEventReducer::Restart(std::wstring installFolder) {
    product_ = ProductReport{};
    product_.installPath = std::move(installFolder);
    outcome_ = InstallOutcome::kRunning;
    failureValue_ = 0;
    failureText_.clear();
    percent_ = 0;
    downloadStarted_ = false;
    downloadStartMs_ = 0;
}

InstallReaction InstallEventReducer::Apply(int32_t code, double value, const std::wstring& text, uint32_t nowMs) {
    InstallReaction r;
    const auto fail = [&](InstallOutcome outcome) {
        outcome_ = outcome;
        failureValue_ = value;
        failureText_ = text;
        r.ended = true;
    };
    const auto show = [&](int percent) {
        // The bar never moves backwards within one attempt.
        if (percent < percent_) percent = percent_;
        percent_ = percent;
        r.percent = percent;
    };
    switch (code) {
        case DL_CODE_START:
            downloadStarted_ = true;
            downloadStartMs_ = nowMs;
            r.tasks.push_back(InstallerTaskEvents::kDownloadStart);
            break;
        case DL_CODE_PROGRESS:
            show(progress_.OnDownload(value));
            break;
        case DL_CODE_SUCCESS: {
            const uint32_t elapsed = downloadStarted_ ? nowMs - downloadStartMs_ : 0;
            r.tasks.push_back(InstallerTaskEvents::DownloadDurationTask(elapsed));
            r.tasks.push_back(InstallerTaskEvents::kDownloadFinished);
            break;
        }
        case DL_CODE_FAIL:
            fail(InstallOutcome::kDownloadFailed);
            r.downloadFailed = true;
            break;
        case IST_CODE_START:
            r.writeRecords = true;
            break;
        case IST_CODE_PROGRESS:
            show(progress_.OnInstall(value));
            break;
        case INSTALL_SUCCESS:
            outcome_ = InstallOutcome::kSucceeded;
            r.ended = true;
            r.tasks.push_back(InstallerTaskEvents::kInstallSucceeded);
            percent_ = 100;
            r.percent = 100;
            r.finishInstall = true;
            break;
        case IST_CODE_FAIL:
            fail(InstallOutcome::kInstallFailed);
            r.tasks.push_back(InstallerTaskEvents::InstallFailureReason(value, text));
            break;
        case PKG_CODE_INST_PATH:
            product_.installPath = text;
            break;
        case PKG_CODE_EXE_PATH:
            product_.exePath = text;
            break;
        case PKG_CODE_UNINST_EP:
            product_.uninstallerPath = text;
            break;
        case PKG_CODE_START_URL:
            product_.startUrl = text;
            break;
        case PKG_CODE_STARTUP_STYLE:
            product_.startupStyle = AsStyle(value);
            break;
        case PKG_CODE_TOP_SHOW:
            product_.topShowDelayMs = AsUnsigned32(value);
            break;
        case PKG_CODE_FINISH_CLOSE:
            product_.finishCloseDelayMs = AsUnsigned32(value);
            break;
        case PKG_CODE_MESSAGE:
            r.notice = text;
            break;
        case UNIST_CODE_FAIL:
            fail(value == kFailTempUnusable ? InstallOutcome::kTempUnusable : InstallOutcome::kUninstallFailed);
            break;
        case UNIST_CODE_ERROR:
            fail(InstallOutcome::kUninstallFailed);
            break;
        default:  // 1005, 1006, 3002, 5001..5003: nothing to show
            break;
    }
    return r;
}
