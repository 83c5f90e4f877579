#pragma once
// The stores an installed copy leaves for later runs and for the product:
//  - registry key "Software\VarNelSoft\Quorvex": "InstallPath" (folder of the last successful
//    install, no trailing separator) and "UnInstallEp" (the kept uninstaller, only when that
//    file exists);
//  - "set.ini" in the install folder, section "Install": "APPStore", "AppName", "DeviceID",
//    "InstallLanguage", "InstallLANGID", "VORazavedUvivorareIni"; section "Uninstall", key
//    "IsOverride" (written by the product, read here);
//  - the product data folder $APPDATA/VarNelData/Pelmora (the shared documents folder in
//    place of $APPDATA when it is unset) with "VORazavedUvivorare.ini", section "Init",
//    "UpdateTime" = local time "YYYY-MM-DD hh:mm:ss".
// Write failures are ignored (the install itself has succeeded); read failures give empty
// fields.
//
// Threads: called on the thread that drives the install (the window's or the unattended
// mode's), at moments when no runner touches these files.
#include <cstdint>
#include <string>

inline constexpr wchar_t kSetIniName[] = L"set.ini";
inline constexpr wchar_t kKeptUninstallerName[] = L"uninst.ep";
inline constexpr wchar_t kProductExeName[] = L"compressor.exe";
inline constexpr wchar_t kProductDataIniName[] = L"VORazavedUvivorare.ini";

struct PreviousInstallation {
    std::wstring installPath;      // empty when there is no previous installation
    std::wstring uninstallerPath;  // "UnInstallEp", else installPath + "/uninst.ep"
    bool Exists() const { return !installPath.empty(); }
};

// What one install records about itself.
struct InstallationRecord {
    std::wstring installPath;
    std::wstring languageCode;       // "en-US", "zh-TW", ...
    uint16_t languageId = 1033;      // its LCID
    std::wstring installerFileName;  // the installer executable's name, no folder
};

class InstalledCopy {
public:
    static PreviousInstallation ReadPrevious();
    // "InstallLanguage" of the previous install's "set.ini" (at most 9 characters; "" if none).
    static std::wstring ReadPreviousLanguage(const std::wstring& previousInstallPath);
    // True when both name the same folder (the relative path between them is ".").
    static bool SameFolder(const std::wstring& a, const std::wstring& b);
    // The kept uninstaller to run before installing into `folder`: the previous one, or ""
    // when `folder` is the previous folder and its "set.ini" says IsOverride=false exactly.
    static std::wstring UninstallerToRun(const std::wstring& folder, const PreviousInstallation& previous);

    // $APPDATA (or the shared documents folder)/VarNelData/Pelmora; not created here.
    static std::wstring ProductDataFolder();
    // Writes "set.ini" and the product data file (at install start and after success).
    static void WriteInstallationRecords(const InstallationRecord& record);
    // After a successful install: the registry values, then the installation records.
    // `uninstallerPath` is the one the package reported ("" for "uninst.ep" in the folder);
    // returns the path that was considered for "UnInstallEp".
    static std::wstring FinishInstall(const InstallationRecord& record, const std::wstring& uninstallerPath);
};
