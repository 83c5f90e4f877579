#include "install/CSilentInstaller.h"

#include <chrono>
#include <filesystem>

#include "config/CommandLineArgs.h"
#include "config/InstallerSettings.h"
#include "config/LocaleTable.h"
#include "install/CDownloadInstaller.h"
#include "install/InstallCodes.h"
#include "install/InstallFiles.h"
#include "install/InstallFolders.h"
#include "install/InstallProgress.h"
#include "install/InstallTexts.h"
#include "install/ProcessSnapshot.h"
#include "utils/Folders.h"
#include "utils/HardDiskManager.h"
#include "utils/Log.h"
#include "utils/Network.h"
#include "utils/StringUtils.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kGiB = 1073741824.0;

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
    const auto absolute = std::filesystem::absolute(std::filesystem::path(Utils::ToUtf8(given)), ec);
    if (ec) return {};
    return InstallFiles::WithoutTrailingSeparator(Utils::FromUtf8(absolute.lexically_normal().string()));
}

// Bytes of the package downloaded so far: the downloaders write the package file itself or
// part files named after it, so their sizes together tell the progress in bytes.
double CSilentInstaller::DownloadedBytes() const {
    const std::filesystem::path folder(Utils::ToUtf8(folder_));
    const std::string prefix = "__Package_Quorvex.exe";
    double total = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().filename().string().rfind(prefix, 0) != 0) continue;
        std::error_code sizeError;
        const auto size = it->file_size(sizeError);
        if (!sizeError) total += static_cast<double>(size);
    }
    return total;
}

int CSilentInstaller::Run(const std::vector<std::wstring>& arguments) {
    InstallerSettings& settings = InstallerSettings::Instance();
    const PreviousInstallation previous = InstalledCopy::ReadPrevious();
    const AdminState admin = ReadAdminState();

    // The window's language: en-US, or the one the installed copy was installed in.
    std::wstring language = L"en-US";
    if (previous.Exists()) {
        const std::wstring previousLanguage = InstalledCopy::ReadPreviousLanguage(previous.installPath);
        if (!previousLanguage.empty()) language = previousLanguage;
    }
    const int lcid = LcidForLocaleName(language);
    LanguageId() = static_cast<uint16_t>(lcid != 0 ? lcid : 1033);

    // The window's pre-checks, in its order.
    if (ProcessSnapshot::IsRunning(Utils::ToUtf8(CDownloadInstaller::kUninstallerCopyName)))
        return Fail(kExitUninstallerBusy, InstallTexts::Text(L"IDMsgSoftRunning"));
    folder_ = ChooseFolder(arguments, previous);
    if (folder_.empty() || !Utils::CreateDirectories(folder_))
        return Fail(kExitInvalidFolder, InstallTexts::Text(L"IDInvalidPath") + L": " + folder_);
    Utils::HardDiskManager disk;
    const double available = disk.CheckFreeSpace(folder_) ? static_cast<double>(disk.AvailableToCaller()) : 0.0;
    if (available / kGiB < 1.0) return Fail(kExitDiskLow, InstallTexts::Text(L"IDDiskLow"));
    const std::wstring uninstaller = InstalledCopy::UninstallerToRun(folder_, previous);
    if (settings.IsCheckNet && (Utils::CheckNetwork() >> 16) != 0)
        return Fail(kExitNetworkPoor, InstallTexts::Text(L"IDNetPoor"));

    Print(L"installing Quorvex into " + folder_);
    if (InstallFiles::FileExists(uninstaller)) Print(L"removing the installed copy first: " + uninstaller);

    InstallationRecord record{folder_, language, LanguageId().load(), settings.ExeFileName};
    std::wstring reportedUninstaller;
    InstallProgress progress(settings.DownloadScale);
    int lastPercent = -1;
    Clock::time_point downloadStart = Clock::now();

    CDownloadInstaller installer(
        [this](int32_t code, double value, const wchar_t* text) {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back({code, value, text ? text : L""});
            arrived_.notify_one();
        },
        L"", L"", L"", L"en-US", true, true, true);
    installer.SetInstallParams(settings.DownloadUrl, uninstaller, folder_, language, true, true, admin.userIsAdmin,
                               admin.processIsAdmin);
    installer.Start();

    for (;;) {
        const Event e = NextEvent();
        switch (e.code) {
            case DL_CODE_START:
                downloadStart = Clock::now();
                break;
            case DL_CODE_PROGRESS: {
                const int percent = progress.OnDownload(e.value);
                if (percent == lastPercent) break;
                lastPercent = percent;
                const double seconds = std::chrono::duration<double>(Clock::now() - downloadStart).count();
                const double speed = seconds > 0 ? DownloadedBytes() / seconds / 1048576.0 : 0.0;
                wchar_t line[96];
                std::swprintf(line, 96, L"progress %d%% download %.2f MiB/s", percent, speed);
                Print(line);
                break;
            }
            case DL_CODE_FAIL:
                return Fail(kExitDownloadFailed, L"download failed (" + std::to_wstring(static_cast<long>(e.value)) +
                                                     L" " + e.text + L"): " + settings.DownloadUrl);
            case IST_CODE_START:
                InstalledCopy::WriteInstallationRecords(record);
                break;
            case IST_CODE_PROGRESS: {
                const int percent = progress.OnInstall(e.value);
                if (percent == lastPercent) break;
                lastPercent = percent;
                Print(L"progress " + std::to_wstring(percent) + L"%");
                break;
            }
            case INSTALL_SUCCESS:
                if (lastPercent != 100) Print(L"progress 100%");
                InstalledCopy::FinishInstall(record, reportedUninstaller);
                Print(L"installed: " + record.installPath);
                return kExitOk;
            case IST_CODE_FAIL:
                return Fail(kExitInstallFailed,
                            (e.text.empty() ? InstallTexts::Text(L"IDFailInstPack") : e.text) + L" (" +
                                std::to_wstring(static_cast<long>(e.value)) + L")");
            case PKG_CODE_INST_PATH:
                record.installPath = e.text;
                break;
            case PKG_CODE_UNINST_EP:
                reportedUninstaller = e.text;
                break;
            case PKG_CODE_MESSAGE:
                Print(InstallTexts::Text(L"IDMessage") + L": " + e.text);
                break;
            case UNIST_CODE_FAIL:
            case UNIST_CODE_ERROR:
                return Fail(kExitUninstallFailed, InstallTexts::Text(L"IDMsgSoftRunning") +
                                                      (e.text.empty() ? L"" : L" (" + e.text + L")"));
            default:
                break;
        }
    }
}
