#include "config/InstallerSettings.h"

#include <algorithm>

#include "config/CommandLineArgs.h"
#include "utils/NumberParsing.h"
#include "utils/PathText.h"
#include "utils/ProcessArguments.h"
#include "utils/ProfileFile.h"
#include "utils/SpecialFolders.h"
#include "utils/StringUtils.h"
#include "utils/SystemInfo.h"

#ifndef QV_DOWNLOAD_HOST
#define QV_DOWNLOAD_HOST "https://dl.varnelsoft.com"
#endif

namespace {

double ClampScale(double v) { return std::clamp(v, 0.0, 1.0); }

}  // namespace

InstallerSettings::InstallerSettings() { SetDownloadUrl(DefaultDownloadUrl()); }

std::wstring InstallerSettings::DefaultDownloadUrl() { return Utils::FromUtf8(QV_DOWNLOAD_HOST) + L"/software/178"; }

std::wstring InstallerSettings::SubstituteRoute(const std::wstring& url, const std::wstring& shortVersionName) {
    if (url.find(L"${ROUTE}") == std::wstring::npos) return url;
    const std::wstring route =
        shortVersionName.find(L"XP") != std::wstring::npos ? L"download_silent_xp" : L"download_silent";
    return Utils::ReplaceAll(url, L"${ROUTE}", route);
}

void InstallerSettings::SetDownloadUrl(const std::wstring& url) {
    if (url.find(L"${ROUTE}") == std::wstring::npos) {
        DownloadUrl = url;
        return;
    }
    DownloadUrl = SubstituteRoute(url, Utils::GetOsVersionName().second);
}

void InstallerSettings::LoadFile(const std::filesystem::path& executable) {
    ExeFileName = Utils::PathToWide(executable.filename());
    const std::filesystem::path file = executable.parent_path() / Utils::PathFromWide(kConfigFileName);
    std::error_code ec;
    if (std::filesystem::is_regular_file(file, ec)) {
        // The system's profile reader, each value cut as its 260-character buffer cuts it.
        const auto get = [&](const wchar_t* key, const std::wstring& fallback) {
            return Utils::GetProfileString(kConfigSection, key, fallback, kProfileBufferChars, file);
        };
        SetDownloadUrl(get(L"DownloadUrl", DefaultDownloadUrl()));
        DownloadType = Utils::GetProfileInt(kConfigSection, L"DownloadType", 1, file);
        IsCheckNet = get(L"IsCheckNet", L"true") == L"true";
        IsEnableAppAnalytics = get(L"IsEnableAppAnalytics", L"true") == L"true";
        DlAppNameSuffix = get(L"DlAppNameSuffix", L".downloader");
        DlAppVersion = get(L"m_DlAppVersion", L"");
        DownloadScale = ClampScale(Utils::ParseLeadingDouble(get(L"DownloadScale", L"0.7")).value_or(0.0));
        InstCmd = get(L"InstCmd", L"");
        DownloadSha256 = get(L"DownloadSha256", L"");
    }
    ProductName = L"Quorvex";
    ProductVersion = L"1.1.0";
}

void InstallerSettings::ApplyCommandLine(const CommandLineArgs& args) {
    if (args.Has(L"-downloadurl")) SetDownloadUrl(args.GetString(L"-downloadurl"));
    DownloadType = args.GetInt(L"-downloadtype", DownloadType);
    DownloadScale = ClampScale(args.GetDouble(L"-downloadscale", DownloadScale));
    IsCheckNet = args.GetBool(L"-ischecknet", IsCheckNet);
    IsEnableAppAnalytics = args.GetBool(L"-isenableappanalytics", IsEnableAppAnalytics);
    if (args.Has(L"-dlappnamesuffix")) DlAppNameSuffix = args.GetString(L"-dlappnamesuffix");
    if (args.Has(L"-dlappversion")) DlAppVersion = args.GetString(L"-dlappversion");
    if (args.Has(L"-instcmd")) InstCmd = args.GetString(L"-instcmd");
    if (args.Has(L"-downloadsha256")) DownloadSha256 = args.GetString(L"-downloadsha256");
}

void InstallerSettings::ApplyCommandLine(const std::vector<std::wstring>& arguments) {
    ApplyCommandLine(CommandLineArgs(arguments));
}

InstallerSettings& InstallerSettings::Instance() {
    static InstallerSettings* settings = [] {
        auto* s = new InstallerSettings();
        s->LoadFile(Utils::ExecutablePath());
        return s;
    }();
    return *settings;
}

std::vector<std::wstring> ReadProcessArguments() { return Utils::ProcessArguments(); }
