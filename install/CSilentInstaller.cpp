#include "install/CSilentInstaller.h"

#include <chrono>
#include <filesystem>

#include "config/CommandLineArgs.h"
#include "config/InstallerSettings.h"
#include "config/LocaleTable.h"
#include "install/DownloadRate.h"
#include "install/InstallCodes.h"
#include "install/InstallFiles.h"
#include "install/InstallFolders.h"
#include "install/InstallTexts.h"
#include "install/InstallerAnalytics.h"
#include "install/InterruptGuard.h"
#include "utils/PathText.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

bool CSilentInstaller::Requested(const std::vector<std::wstring>& arguments) {
    return CommandLineArgs(arguments).Has(L"-silent");
}

void CSilentInstaller::Print(const std::wstring& line) {
    std::fprintf(out_, "%s\n", Utils::ToUtf8(line).c_str());
    std::fflush(out_);
}

int CSilentInstaller::Fail(ExitCode code, const std::wstring& text) {
    std::fprintf(err_, "quorvex-installer: %s\n", Utils::ToUtf8(text).c_str());
    // The trace that tells why is not on the terminal: say where it is.
    if (const std::wstring log = Utils::LogFilePath(); !log.empty())
        std::fprintf(err_, "quorvex-installer: the trace of this run is in %s\n", Utils::ToUtf8(log).c_str());
    std::fflush(err_);
    QLOG(L"unattended install failed, exit code %d\r\n", static_cast<int>(code));
    return code;
}

CSilentInstaller::Event CSilentInstaller::NextEvent() {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait(lock, [this] { return !queue_.empty(); });
    Event event = std::move(queue_.front());
    queue_.pop_front();
    return event;
}

std::wstring CSilentInstaller::ChooseFolder(const std::vector<std::wstring>& arguments,
                                            const PreviousInstallation& previous) {
    const CommandLineArgs args(arguments);
    if (!args.Has(L"-installdir")) return DefaultInstallFolder(previous, ReadAdminState());
    const std::wstring given = args.GetString(L"-installdir");
    if (given.empty()) return {};
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(Utils::PathFromWide(given), ec);
    if (ec) return {};
    return InstallFiles::WithoutTrailingSeparator(Utils::PathToWide(absolute.lexically_normal()));
}

int CSilentInstaller::FailPreCheck(const PreCheckFailure& failure) {
    static const std::pair<PreCheckStep, ExitCode> kCodes[] = {
        {PreCheckStep::kUninstallerRunning, kExitUninstallerBusy},
        {PreCheckStep::kFolder, kExitInvalidFolder},
        {PreCheckStep::kFreeSpace, kExitDiskLow},
        {PreCheckStep::kNetwork, kExitNetworkPoor},
    };
    ExitCode code = kExitInvalidFolder;
    for (const auto& [step, exit] : kCodes)
        if (step == failure.step) code = exit;
    std::wstring text = InstallTexts::Text(failure.noticeId);
    if (failure.step == PreCheckStep::kFolder) text += L": " + folder_;
    if (!failure.detail.empty()) text += L" (" + failure.detail + L")";
    return Fail(code, text);
}

// The exit code and message of an ended attempt.
int CSilentInstaller::Finish(const InstallSession& session) {
    const InstallEventReducer& reducer = session.Reducer();
    const std::wstring& text = reducer.FailureText();
    const std::wstring value = std::to_wstring(static_cast<long>(reducer.FailureValue()));
    switch (reducer.Outcome()) {
        case InstallOutcome::kSucceeded:
            Print(L"installed: " + reducer.Product().installPath);
            return kExitOk;
        case InstallOutcome::kDownloadFailed:
            return Fail(kExitDownloadFailed,
                        L"download failed (" + value + L" " + text + L"): " + session.Params().downloadUrl);
        case InstallOutcome::kInstallFailed:
            return Fail(kExitInstallFailed,
                        (text.empty() ? InstallTexts::Text(L"IDFailInstPack") : text) + L" (" + value + L")");
        case InstallOutcome::kTempUnusable:
            return Fail(kExitTempUnusable, text);
        case InstallOutcome::kUninstallFailed:
        case InstallOutcome::kRunning:
            break;
    }
    return Fail(kExitUninstallFailed, InstallTexts::Text(L"IDMsgSoftRunning") + (text.empty() ? L"" : L" (" + text + L")"));
}

int CSilentInstaller::Run(const std::vector<std::wstring>& arguments) {
    const InstallerSettings& settings = InstallerSettings::Instance();
    InstallParams params;
    params.previous = InstalledCopy::ReadPrevious();
    const AdminState admin = ReadAdminState();
    params.userIsAdmin = admin.userIsAdmin;
    params.processIsAdmin = admin.processIsAdmin;

    // The window's language: en-US, or the one the installed copy was installed in.
    if (params.previous.Exists()) {
        const std::wstring previousLanguage = InstalledCopy::ReadPreviousLanguage(params.previous.installPath);
        if (!previousLanguage.empty()) params.language = previousLanguage;
    }
    const int lcid = LcidForLocaleName(params.language);
    LanguageId() = static_cast<uint16_t>(lcid != 0 ? lcid : 1033);
    params.languageId = LanguageId().load();

    TakeInstallSettings(params, settings);
    folder_ = params.folder = ChooseFolder(arguments, params.previous);

    InstallSession session([this](int32_t code, double value, const wchar_t* text) {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({code, value, text ? text : L""});
        arrived_.notify_one();
    });
    session.SetParams(params);
    if (auto failure = session.RunPreChecks()) return FailPreCheck(*failure);

    Print(L"installing Quorvex into " + folder_);
    const std::wstring uninstaller = session.UninstallerToRun();
    if (!uninstaller.empty()) Print(L"removing the installed copy first: " + uninstaller);

    // From here on a stop request also stops the package and clears the download.
    const InterruptGuard guard(session.PackagePath(), [] { InstallerAnalytics::Release(InstallerSettings::Instance()); });
    int lastPercent = -1;
    DownloadRate rate;
    const Clock::time_point origin = Clock::now();
    const std::wstring package = session.PackagePath();
    const DownloadRate::ByteSource bytesOnDisk = [&package] { return DownloadRate::BytesOnDisk(package); };
    session.Start();
    for (;;) {
        const Event e = NextEvent();
        const InstallReaction reaction = session.OnEvent(e.code, e.value, e.text);
        const auto nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - origin).count();
        rate.OnEvent(e.code, e.value, nowMs, bytesOnDisk);
        if (reaction.notice) Print(InstallTexts::Text(L"IDMessage") + L": " + *reaction.notice);
        if (reaction.percent && *reaction.percent != lastPercent) {
            lastPercent = *reaction.percent;
            const std::optional<double> speed = rate.BytesPerSecond();
            if (e.code == DL_CODE_PROGRESS && speed) {
                wchar_t line[96];
                std::swprintf(line, 96, L"progress %d%% download %.2f MiB/s", lastPercent, *speed / 1048576.0);
                Print(line);
            } else {
                Print(L"progress " + std::to_wstring(lastPercent) + L"%");
            }
        }
        if (reaction.ended) return Finish(session);
    }
}
