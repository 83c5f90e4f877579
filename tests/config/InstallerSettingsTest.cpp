#include <gtest/gtest.h>

#include "config/CommandLineArgs.h"
#include "config/InstallerSettings.h"
#include "config/LocaleTable.h"
#include "tests/support/TempDir.h"
#include "utils/StringUtils.h"
#include "utils/SystemLocale.h"

using testsupport::TempDir;

namespace {

// Settings as start-up builds them: defaults, the file beside a (fake) executable, options.
InstallerSettings Build(const TempDir& dir, const std::string* file, std::vector<std::wstring> options = {}) {
    if (file) dir.Write("VarnelInstallerConfig.ini", *file);
    InstallerSettings s;
    s.LoadFile(dir / "quorvex-installer");
    options.insert(options.begin(), L"/opt/x/quorvex-installer");
    s.ApplyCommandLine(options);
    return s;
}

}  // namespace

TEST(InstallerSettings_Defaults, NoFileAndNoOptions) {
    TempDir dir;
    const auto s = Build(dir, nullptr);
    EXPECT_EQ(s.ProductName, L"Quorvex");
    EXPECT_EQ(s.ProductVersion, L"1.1.0");
    EXPECT_EQ(s.ExeFileName, L"quorvex-installer");
    EXPECT_EQ(s.DownloadType, 1);
    EXPECT_FALSE(s.IsCheckNet);
    EXPECT_TRUE(s.IsEnableAppAnalytics);
    EXPECT_DOUBLE_EQ(s.DownloadScale, 0.7);
    EXPECT_EQ(s.DlAppNameSuffix, L".downloader");
    EXPECT_EQ(s.DlAppVersion, L"");
    EXPECT_EQ(s.InstCmd, L"");
    EXPECT_EQ(s.DownloadUrl, Utils::FromUtf8(QV_DOWNLOAD_HOST "/software/178"));
    EXPECT_TRUE(s.IsCurlReady);
}

TEST(InstallerSettings_File, EmptySectionTurnsTheNetworkCheckOn) {
    TempDir dir;
    const std::string file = "[Install]\n";
    const auto s = Build(dir, &file);
    EXPECT_TRUE(s.IsCheckNet);
    EXPECT_EQ(s.DownloadType, 1);
    EXPECT_DOUBLE_EQ(s.DownloadScale, 0.7);
    EXPECT_EQ(s.DownloadUrl, Utils::FromUtf8(QV_DOWNLOAD_HOST "/software/178"));
}

TEST(InstallerSettings_File, ReadsEveryKeyWithItsRules) {
    TempDir dir;
    const std::string file =
        "[install]\nDownloadUrl=http://127.0.0.1:8080/${ROUTE}/q.exe\nDownloadType=3\nIsCheckNet=True\n"
        "IsEnableAppAnalytics=false\nDlAppNameSuffix=.dl\nm_DlAppVersion=2.0\nDownloadScale=abc\nInstCmd=/quiet\n"
        "ProductName=Other\n";
    const auto s = Build(dir, &file);
    EXPECT_EQ(s.DownloadUrl, L"http://127.0.0.1:8080/download_silent/q.exe");
    EXPECT_EQ(s.DownloadType, 3);
    EXPECT_FALSE(s.IsCheckNet);  // only the exact text "true"
    EXPECT_FALSE(s.IsEnableAppAnalytics);
    EXPECT_EQ(s.DlAppNameSuffix, L".dl");
    EXPECT_EQ(s.DlAppVersion, L"2.0");
    EXPECT_DOUBLE_EQ(s.DownloadScale, 0.0);  // no numeric prefix
    EXPECT_EQ(s.InstCmd, L"/quiet");
    EXPECT_EQ(s.ProductName, L"Quorvex");
}

TEST(InstallerSettings_File, LongValuesAreCutAtTheBuffer) {
    TempDir dir;
    const std::string file = "[Install]\nInstCmd=" + std::string(400, 'a') + "\n";
    EXPECT_EQ(Build(dir, &file).InstCmd.size(), 259u);
}

TEST(InstallerSettings_Options, BeatTheFileFieldByField) {
    TempDir dir;
    const std::string file = "[Install]\nDownloadType=3\nIsCheckNet=true\nInstCmd=/file\n";
    const auto s = Build(dir, &file, {L"-downloadtype=2", L"-ischecknet", L"-dlappversion=9"});
    EXPECT_EQ(s.DownloadType, 2);
    EXPECT_FALSE(s.IsCheckNet);  // the bare option means false
    EXPECT_EQ(s.DlAppVersion, L"9");
    EXPECT_EQ(s.InstCmd, L"/file");  // absent option leaves the file's value
}

TEST(InstallerSettings_Options, PackageDigestFromTheFileOrTheOption) {
    TempDir dir;
    const std::string digest(64, 'a');
    const std::string file = "[Install]\nDownloadSha256=" + digest + "\n";
    EXPECT_EQ(Build(dir, &file).DownloadSha256, Utils::FromUtf8(digest));
    const std::wstring option(64, L'B');
    EXPECT_EQ(Build(dir, &file, {L"-downloadsha256=" + option}).DownloadSha256, option);
    TempDir plain;
    EXPECT_TRUE(Build(plain, nullptr).DownloadSha256.empty());  // no digest: nothing is checked
}

TEST(InstallerSettings_Options, FirstOfRepeatedOptionsWinsAndValuesKeepTheirEquals) {
    TempDir dir;
    const auto s = Build(dir, nullptr,
                         {L"-downloadurl=http://a/x?k=v", L"-downloadurl=http://b/", L"-instcmd=/S /X=1",
                          L"-DownloadType=3"});
    EXPECT_EQ(s.DownloadUrl, L"http://a/x?k=v");
    EXPECT_EQ(s.InstCmd, L"/S /X=1");
    EXPECT_EQ(s.DownloadType, 1);  // keys are case-sensitive
}

TEST(InstallerSettings_Options, UnreadableNumbersNeverThrow) {
    TempDir dir;
    auto s = Build(dir, nullptr, {L"-downloadtype=abc", L"-downloadscale=xyz"});
    EXPECT_EQ(s.DownloadType, 0);
    EXPECT_DOUBLE_EQ(s.DownloadScale, 0.7);
    s = Build(dir, nullptr, {L"-downloadtype=99999999999", L"-downloadscale=1e999"});
    EXPECT_EQ(s.DownloadType, 0);
    EXPECT_DOUBLE_EQ(s.DownloadScale, 1.0);
    s = Build(dir, nullptr, {L"-downloadtype= 3x", L"-downloadscale=-2"});
    EXPECT_EQ(s.DownloadType, 3);
    EXPECT_DOUBLE_EQ(s.DownloadScale, 0.0);
    s = Build(dir, nullptr, {L"-downloadscale=nan"});
    EXPECT_DOUBLE_EQ(s.DownloadScale, 0.7);
    s = Build(dir, nullptr, {L"-downloadscale= 0.5abc"});
    EXPECT_DOUBLE_EQ(s.DownloadScale, 0.5);
}

TEST(InstallerSettings_Route, EveryPlaceholderIsReplacedByTheRouteOfTheSystem) {
    const std::wstring url = L"http://h/${ROUTE}/a/${ROUTE}";
    EXPECT_EQ(InstallerSettings::SubstituteRoute(url, L"Server 2003"), L"http://h/download_silent/a/download_silent");
    EXPECT_EQ(InstallerSettings::SubstituteRoute(url, L"XP"), L"http://h/download_silent_xp/a/download_silent_xp");
    EXPECT_EQ(InstallerSettings::SubstituteRoute(L"http://h/plain", L"XP"), L"http://h/plain");
}

TEST(CommandLineArgs_Parse, KeysValuesAndBareArguments) {
    CommandLineArgs a({L"prog", L"-k=v=w", L"-bare", L"plain=x", L"-k=second", L"-e="});
    EXPECT_EQ(a.GetString(L"-k"), L"v=w");
    EXPECT_TRUE(a.Has(L"-bare"));
    EXPECT_TRUE(a.Has(L"plain=x"));  // no leading "-": the whole argument is the key
    EXPECT_TRUE(a.Has(L"prog"));
    EXPECT_EQ(a.GetString(L"-e"), L"");
    EXPECT_EQ(a.GetString(L"-missing"), L"");
    EXPECT_EQ(a.GetInt(L"-missing", 5), 5);
    EXPECT_TRUE(a.GetBool(L"-missing", true));
    EXPECT_FALSE(a.GetBool(L"-bare", true));
}

TEST(LocaleTable_Rows, FortyFixedRows) {
    EXPECT_EQ(LocaleTable().size(), 40u);
    EXPECT_EQ(LocaleTable().at(2052), L"zh-CN");
    EXPECT_EQ(LocaleTable().at(9242), L"sr-Latn-RS");
    EXPECT_EQ(LcidForLocaleName(L"en-US"), 1033);
    EXPECT_EQ(LcidForLocaleName(L"xx-YY"), 0);
}

TEST(LocaleTable_System, PosixLocalesMapToLanguageIds) {
    EXPECT_EQ(LanguageIdForPosixLocale("zh_TW.UTF-8"), 1028);
    EXPECT_EQ(LanguageIdForPosixLocale("zh_HK"), 3076);
    EXPECT_EQ(LanguageIdForPosixLocale("zh_MO.UTF-8"), 5124);
    EXPECT_EQ(LanguageIdForPosixLocale("zh_CN.GB18030"), 2052);
    EXPECT_EQ(LanguageIdForPosixLocale("de_DE.UTF-8@euro"), 1031);
    EXPECT_EQ(LanguageIdForPosixLocale("C.UTF-8"), 1033);
    EXPECT_EQ(LanguageIdForPosixLocale(""), 1033);
    EXPECT_EQ(Utils::LanguageAndCountryOf("zh_TW.UTF-8"), (std::pair<std::string, std::string>{"zh", "TW"}));
    EXPECT_EQ(Utils::LanguageAndCountryOf("POSIX"), (std::pair<std::string, std::string>{}));
}
