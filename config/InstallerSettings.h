#pragma once
// The process-wide settings record: compiled defaults, then the configuration file beside the
// executable, then the command line, each field by itself. Filled on the main thread before
// any worker exists and read-only afterwards, except IsCurlReady (start-up only).
#include <filesystem>
#include <string>
#include <vector>

class CommandLineArgs;

inline constexpr wchar_t kConfigFileName[] = L"VarnelInstallerConfig.ini";
inline constexpr wchar_t kConfigSection[] = L"Install";
inline constexpr size_t kProfileBufferChars = 260;

struct InstallerSettings {
    std::wstring ProductName = L"Quorvex";
    std::wstring ProductVersion = L"1.1.0";
    std::wstring ExeFileName;
    std::wstring DlAppNameSuffix = L".downloader";
    std::wstring DlAppVersion;
    std::wstring InstCmd;
    std::wstring DownloadUrl;
    // The SHA-256 the package must have, 64 hexadecimal digits of either case ("" for none;
    // anything else fails every download rather than passing it unchecked).
    std::wstring DownloadSha256;
    int DownloadType = 1;
    bool IsCheckNet = false;
    bool IsEnableAppAnalytics = true;
    double DownloadScale = 0.7;
    bool IsCurlReady = true;

    // Compiled defaults (DownloadUrl is the default endpoint after route substitution).
    InstallerSettings();

    // The compiled default package URL: the configured host followed by "/software/178".
    static std::wstring DefaultDownloadUrl();

    // Sets ExeFileName from `executable` and reads "VarnelInstallerConfig.ini" beside it.
    void LoadFile(const std::filesystem::path& executable);
    // Applies the eight options and "-downloadsha256"; absent options leave their settings untouched.
    void ApplyCommandLine(const CommandLineArgs& args);
    void ApplyCommandLine(const std::vector<std::wstring>& arguments);
    // Stores the URL after replacing every "${ROUTE}" (see SubstituteRoute).
    void SetDownloadUrl(const std::wstring& url);

    // "download_silent_xp" when the short system version name contains "XP", else
    // "download_silent", put in place of every "${ROUTE}".
    static std::wstring SubstituteRoute(const std::wstring& url, const std::wstring& shortVersionName);

    // The process-wide record, loaded from the running executable's folder on first use.
    static InstallerSettings& Instance();
};

// The process arguments as the system holds them (Utils::ProcessArguments).
std::vector<std::wstring> ReadProcessArguments();
