// The stores of an installed copy, on real files in a temporary HOME.
#include <gtest/gtest.h>

#include <regex>
#include <unistd.h>

#include "install/InstallFolders.h"
#include "install/InstalledCopy.h"
#include "tests/install/ChildScope.h"
#include "tests/install/ScopedEnv.h"
#include "tests/install/WidePath.h"
#include "tests/support/TempDir.h"
#include "utils/ProfileFile.h"
#include "utils/RegistryStore.h"
#include "utils/StringUtils.h"

namespace {

using installtest::W;

std::wstring Ini(const std::filesystem::path& file, const wchar_t* section, const wchar_t* key) {
    return Utils::GetProfileString(section, key, L"<none>", 1024, file);
}

std::wstring Reg(const wchar_t* name) {
    std::wstring value = L"<none>";
    Utils::ReadRegString(name, value);
    return value;
}

class InstalledCopyTest : public ::testing::Test {
protected:
    testsupport::TempDir tmp;
    installtest::ScopedEnv env{tmp.path()};
};

}  // namespace

TEST_F(InstalledCopyTest, InstalledCopy_PreviousInstallationFallsBackToUninstEpInItsFolder) {
    EXPECT_FALSE(InstalledCopy::ReadPrevious().Exists());

    ASSERT_TRUE(Utils::WriteRegString(L"InstallPath", L"/opt/My Apps/Pelmora"));
    auto previous = InstalledCopy::ReadPrevious();
    EXPECT_EQ(previous.installPath, L"/opt/My Apps/Pelmora");
    EXPECT_EQ(previous.uninstallerPath, L"/opt/My Apps/Pelmora/uninst.ep");

    ASSERT_TRUE(Utils::WriteRegString(L"UnInstallEp", L""));
    EXPECT_EQ(InstalledCopy::ReadPrevious().uninstallerPath, L"/opt/My Apps/Pelmora/uninst.ep");
    ASSERT_TRUE(Utils::WriteRegString(L"UnInstallEp", L"/elsewhere/kept.ep"));
    EXPECT_EQ(InstalledCopy::ReadPrevious().uninstallerPath, L"/elsewhere/kept.ep");
}

TEST_F(InstalledCopyTest, InstalledCopy_IsOverrideFalseInThePreviousFolderSkipsTheUninstall) {
    const auto folder = tmp / "My Apps" / "Pelmora";
    std::filesystem::create_directories(folder);
    const PreviousInstallation previous{W(folder), W(folder / "uninst.ep")};

    // No set.ini: the fallback "true" runs the uninstaller.
    EXPECT_EQ(InstalledCopy::UninstallerToRun(W(folder), previous), previous.uninstallerPath);
    ASSERT_TRUE(Utils::WriteProfileString(L"Uninstall", L"IsOverride", L"False", folder / "set.ini"));
    EXPECT_EQ(InstalledCopy::UninstallerToRun(W(folder), previous), previous.uninstallerPath);
    ASSERT_TRUE(Utils::WriteProfileString(L"Uninstall", L"IsOverride", L"false", folder / "set.ini"));
    EXPECT_EQ(InstalledCopy::UninstallerToRun(W(folder), previous), L"");
    EXPECT_EQ(InstalledCopy::UninstallerToRun(W(folder) + L"/", previous), L"");
    EXPECT_EQ(InstalledCopy::UninstallerToRun(W(folder) + L"/./", previous), L"");
    // Another folder always runs it, whatever its own set.ini says.
    std::filesystem::create_directories(tmp / "other");
    Utils::WriteProfileString(L"Uninstall", L"IsOverride", L"false", tmp / "other" / "set.ini");
    EXPECT_EQ(InstalledCopy::UninstallerToRun(W(tmp / "other"), previous), previous.uninstallerPath);
    EXPECT_EQ(InstalledCopy::UninstallerToRun(W(folder / "sub"), previous), previous.uninstallerPath);
    EXPECT_FALSE(InstalledCopy::SameFolder(L"", L""));
    // Linux names differ by letter case.
    EXPECT_FALSE(InstalledCopy::SameFolder(L"/opt/Pelmora", L"/opt/pelmora"));
}

TEST_F(InstalledCopyTest, InstalledCopy_FinishInstallWritesRegistryAndBothIniFiles) {
    const auto folder = tmp / "中文 目录" / "Pelmora";
    std::filesystem::create_directories(folder);
    Utils::WriteProfileString(L"Uninstall", L"IsOverride", L"false", folder / "set.ini");
    const InstallationRecord record{W(folder) + L"/", L"zh-TW", 1028, L"quorvex-installer"};

    // No uninstaller file yet: "UnInstallEp" is not written.
    InstalledCopy::FinishInstall(record, L"");
    EXPECT_EQ(Reg(L"InstallPath"), W(folder));
    EXPECT_EQ(Reg(L"UnInstallEp"), L"<none>");

    const auto setIni = folder / "set.ini";
    EXPECT_EQ(Ini(setIni, L"Install", L"APPStore"), L"quorvex-installer");
    EXPECT_EQ(Ini(setIni, L"Install", L"AppName"), L"Quorvex");
    EXPECT_EQ(Ini(setIni, L"Install", L"InstallLanguage"), L"zh-TW");
    EXPECT_EQ(Ini(setIni, L"Install", L"InstallLANGID"), L"1028");
    EXPECT_EQ(Ini(setIni, L"Uninstall", L"IsOverride"), L"false") << "the product's own key is kept";
    const std::wstring device = Ini(setIni, L"Install", L"DeviceID");
    EXPECT_TRUE(std::regex_match(Utils::ToUtf8(device), std::regex("[0-9A-Fa-f]{32}"))) << Utils::ToUtf8(device);

    const auto dataIni = tmp / "appdata" / "VarNelData" / "Pelmora" / "VORazavedUvivorare.ini";
    EXPECT_EQ(Ini(setIni, L"Install", L"VORazavedUvivorareIni"), W(dataIni));
    EXPECT_TRUE(std::regex_match(Utils::ToUtf8(Ini(dataIni, L"Init", L"UpdateTime")),
                                 std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));

    // With the kept uninstaller present both values are there; every write has a new DeviceID.
    std::filesystem::copy_file("/bin/true", folder / "uninst.ep");
    EXPECT_EQ(InstalledCopy::FinishInstall(record, L""), W(folder) + L"/uninst.ep");
    EXPECT_EQ(Reg(L"UnInstallEp"), W(folder / "uninst.ep"));
    EXPECT_NE(Ini(setIni, L"Install", L"DeviceID"), device);
    EXPECT_EQ(InstalledCopy::ReadPreviousLanguage(W(folder)), L"zh-TW");
}

TEST_F(InstalledCopyTest, InstalledCopy_WithoutAppDataTheSharedDocumentsFolderHoldsTheProductData) {
    installtest::ScopedEnv noAppData(tmp.path(), false);
    EXPECT_EQ(InstalledCopy::ProductDataFolder(), W(tmp / "data" / "VarNelData" / "Pelmora"));
    const auto folder = tmp / "p";
    std::filesystem::create_directories(folder);
    Utils::WriteProfileString(L"Install", L"InstallLanguage", L"abcdefghijkl", folder / "set.ini");
    EXPECT_EQ(InstalledCopy::ReadPreviousLanguage(W(folder)), L"abcdefghi");
    InstalledCopy::WriteInstallationRecords({W(folder), L"en-US", 1033, L"x"});
    EXPECT_TRUE(std::filesystem::exists(tmp / "data" / "VarNelData" / "Pelmora" / "VORazavedUvivorare.ini"));
}

TEST_F(InstalledCopyTest, DefaultInstallFolder_KeepsAnInstalledCopysFolderElsePicksTheUsersOwn) {
    const AdminState user{false, false}, admin{true, true};
    // Root installs for the machine, everyone else for themselves: both, whoever runs the test.
    EXPECT_EQ(installtest::AsRoot([&] { return DefaultInstallFolder({}, user) == L"/opt/Pelmora" ? 0 : 1; }), 0);
    EXPECT_EQ(installtest::AsUnprivileged([&] {
                  return DefaultInstallFolder({}, user) == W(tmp / "data" / "Pelmora") ? 0 : 1;
              }),
              0);
    const std::wstring base = ::geteuid() == 0 ? L"/opt/Pelmora" : W(tmp / "data" / "Pelmora");
    EXPECT_EQ(DefaultInstallFolder({}, user), base);
    EXPECT_EQ(DefaultInstallFolder({}, admin), W(tmp / "appdata" / "VarNel" / "Pelmora"));
    EXPECT_EQ(DefaultInstallFolder({}, AdminState{true, false}), base);

    // A previous copy counts only while its kept uninstaller exists.
    const auto previousFolder = tmp / "prev";
    const PreviousInstallation previous{W(previousFolder), W(previousFolder / "uninst.ep")};
    EXPECT_EQ(DefaultInstallFolder(previous, user), base);
    std::filesystem::create_directories(previousFolder);
    std::filesystem::copy_file("/bin/true", previousFolder / "uninst.ep");
    EXPECT_EQ(DefaultInstallFolder(previous, user), W(previousFolder));
}
