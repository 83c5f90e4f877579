#include "install/InstalledCopy.h"

#include <cwchar>
#include <filesystem>

#include "install/InstallFiles.h"
#include "utils/Folders.h"
#include "utils/PathText.h"
#include "utils/Log.h"
#include "utils/ProfileFile.h"
#include "utils/RegistryStore.h"
#include "utils/SpecialFolders.h"
#include "utils/SystemInfo.h"

namespace {

std::filesystem::path FsPath(const std::wstring& path) { return Utils::PathFromWide(path); }

std::wstring SetIniOf(const std::wstring& folder) { return InstallFiles::JoinPath(folder, kSetIniName); }

void WriteValue(const wchar_t* section, const wchar_t* key, const std::wstring& value, const std::wstring& file) {
    if (!Utils::WriteProfileString(section, key, value, FsPath(file)))
        QLOG(L"profile write %s failed in %s\r\n", key, file.c_str());
}

std::wstring LocalTimeText() {
    // The clock the diagnostic trace reads: the system's local time, on every system.
    const Utils::detail::LogClock t = Utils::detail::LocalNow();
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"%d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buffer;
}

}  // namespace

PreviousInstallation InstalledCopy::ReadPrevious() {
    PreviousInstallation previous;
    Utils::ReadRegString(L"InstallPath", previous.installPath);
    Utils::ReadRegString(L"UnInstallEp", previous.uninstallerPath);
    if (previous.uninstallerPath.empty() && !previous.installPath.empty())
        previous.uninstallerPath = InstallFiles::JoinPath(previous.installPath, kKeptUninstallerName);
    return previous;
}

std::wstring InstalledCopy::ReadPreviousLanguage(const std::wstring& previousInstallPath) {
    if (previousInstallPath.empty()) return {};
    return Utils::GetProfileString(L"Install", L"InstallLanguage", L"", 10, FsPath(SetIniOf(previousInstallPath)));
}

bool InstalledCopy::SameFolder(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.empty()) return false;
    // Both taken as folders: a trailing separator or a "." step changes nothing.
    const auto pa = (FsPath(a) / "").lexically_normal();
    const auto pb = (FsPath(b) / "").lexically_normal();
    return pa.lexically_relative(pb) == "." || Utils::SameFolderName(Utils::PathToWide(pa), Utils::PathToWide(pb));
}

std::wstring InstalledCopy::UninstallerToRun(const std::wstring& folder, const PreviousInstallation& previous) {
    if (SameFolder(folder, previous.installPath) &&
        Utils::GetProfileString(L"Uninstall", L"IsOverride", L"true", 20, FsPath(SetIniOf(folder))) == L"false")
        return {};
    return previous.uninstallerPath;
}

std::wstring InstalledCopy::ProductDataFolder() {
    const auto base = Utils::AppDataFolder().value_or(Utils::CommonDocumentsFolder());
    return Utils::PathToWide(base / "VarNelData" / "Pelmora");
}

void InstalledCopy::WriteInstallationRecords(const InstallationRecord& record) {
    const std::wstring setIni = SetIniOf(record.installPath);
    WriteValue(L"Install", L"APPStore", record.installerFileName, setIni);
    WriteValue(L"Install", L"AppName", L"Quorvex", setIni);
    WriteValue(L"Install", L"DeviceID", Utils::NewGuidString(), setIni);
    WriteValue(L"Install", L"InstallLanguage", record.languageCode, setIni);
    WriteValue(L"Install", L"InstallLANGID", std::to_wstring(record.languageId), setIni);

    const std::wstring dataFolder = ProductDataFolder();
    if (!Utils::CreateDirectories(dataFolder)) {
        QLOG(L"product data folder %s not created\r\n", dataFolder.c_str());
        return;
    }
    const std::wstring dataIni = InstallFiles::JoinPath(dataFolder, kProductDataIniName);
    WriteValue(L"Install", L"VORazavedUvivorareIni", dataIni, setIni);
    WriteValue(L"Init", L"UpdateTime", LocalTimeText(), dataIni);
}

std::wstring InstalledCopy::FinishInstall(const InstallationRecord& record, const std::wstring& uninstallerPath) {
    const std::wstring folder = InstallFiles::WithoutTrailingSeparator(record.installPath);
    if (!Utils::WriteRegString(L"InstallPath", folder)) QLOG(L"registry write InstallPath failed\r\n");
    const std::wstring uninstaller =
        uninstallerPath.empty() ? InstallFiles::JoinPath(folder, kKeptUninstallerName) : uninstallerPath;
    if (InstallFiles::FileExists(uninstaller) && !Utils::WriteRegString(L"UnInstallEp", uninstaller))
        QLOG(L"registry write UnInstallEp failed\r\n");
    WriteInstallationRecords(record);
    return uninstaller;
}
