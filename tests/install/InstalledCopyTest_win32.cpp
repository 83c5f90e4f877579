// The stores of an installed copy on Windows: the registry values under HKEY_CURRENT_USER,
// set.ini in the folder and the product data file under %APPDATA%, on real files of a
// temporary folder.
#include <gtest/gtest.h>

#include <cwctype>

#include <cstdlib>
#include <fstream>
#include <regex>

#include "install/InstalledCopy.h"
#include "tests/support/TempDir.h"
#include "utils/ProfileFile.h"
#include "utils/RegistryStore.h"
#include "utils/StringUtils.h"
#include "install/WinSupport_win32.h"

namespace fs = std::filesystem;

namespace {

std::wstring Ini(const fs::path& file, const wchar_t* section, const wchar_t* key) {
    return Utils::GetProfileString(section, key, L"<none>", 1024, file);
}

std::wstring Reg(const wchar_t* name) {
    std::wstring value = L"<none>";
    Utils::ReadRegString(name, value);
    return value;
}

// Points %APPDATA% at a folder for one test.
class ScopedAppData {
public:
    explicit ScopedAppData(const fs::path& folder) {
        if (const wchar_t* old = _wgetenv(L"APPDATA")) saved_ = old;
        _wputenv_s(L"APPDATA", folder.c_str());
    }
    ~ScopedAppData() { _wputenv_s(L"APPDATA", saved_.c_str()); }

private:
    std::wstring saved_;
};

}  // namespace

TEST(InstalledCopy_Windows, FinishInstallWritesTheRegistryAndBothIniFilesWithWindowsPaths) {
    testsupport::TempDir tmp;
    const ScopedAppData appData(tmp.path() / "appdata");
    const fs::path folder = tmp.path() / L"中文 目录" / "Pelmora";
    fs::create_directories(folder);
    Utils::WriteProfileString(L"Uninstall", L"IsOverride", L"false", folder / "set.ini");
    std::ofstream(folder / "uninst.ep") << "kept uninstaller";

    const InstallationRecord record{folder.wstring() + L"\\", L"zh-TW", 1028, L"quorvex-installer.exe"};
    EXPECT_EQ(InstalledCopy::FinishInstall(record, L""), folder.wstring() + L"\\uninst.ep");
    EXPECT_EQ(Reg(L"InstallPath"), folder.wstring()) << "no trailing separator";
    EXPECT_EQ(Reg(L"UnInstallEp"), (folder / "uninst.ep").wstring());

    const fs::path setIni = folder / "set.ini";
    EXPECT_EQ(Ini(setIni, L"Install", L"APPStore"), L"quorvex-installer.exe");
    EXPECT_EQ(Ini(setIni, L"Install", L"AppName"), L"Quorvex");
    EXPECT_EQ(Ini(setIni, L"Install", L"InstallLanguage"), L"zh-TW");
    EXPECT_EQ(Ini(setIni, L"Install", L"InstallLANGID"), L"1028");
    EXPECT_EQ(Ini(setIni, L"Uninstall", L"IsOverride"), L"false") << "the product's own key is kept";
    EXPECT_TRUE(std::regex_match(Utils::ToUtf8(Ini(setIni, L"Install", L"DeviceID")), std::regex("[0-9A-Fa-f]{32}")));
    const fs::path dataIni = tmp.path() / "appdata" / "VarNelData" / "Pelmora" / "VORazavedUvivorare.ini";
    EXPECT_EQ(Ini(setIni, L"Install", L"VORazavedUvivorareIni"), dataIni.wstring());
    EXPECT_TRUE(std::regex_match(Utils::ToUtf8(Ini(dataIni, L"Init", L"UpdateTime")),
                                 std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));

    // The next run finds the copy and its language, and skips its uninstaller when installing
    // over it with "IsOverride" false.
    const PreviousInstallation previous = InstalledCopy::ReadPrevious();
    EXPECT_EQ(previous.installPath, folder.wstring());
    EXPECT_EQ(previous.uninstallerPath, (folder / "uninst.ep").wstring());
    EXPECT_EQ(InstalledCopy::ReadPreviousLanguage(previous.installPath), L"zh-TW");
    EXPECT_EQ(InstalledCopy::UninstallerToRun(folder.wstring() + L"\\", previous), L"");
    EXPECT_EQ(InstalledCopy::UninstallerToRun((tmp.path() / "other").wstring(), previous), previous.uninstallerPath);
    // The same folder in other letters is the same folder on Windows; a longer name is not.
    std::wstring upper = folder.wstring();
    for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
    EXPECT_EQ(InstalledCopy::UninstallerToRun(upper, previous), L"");
    EXPECT_TRUE(InstalledCopy::SameFolder(L"C:\\Program Files\\Pelmora", L"c:\\PROGRAM FILES\\pelmora\\"));
    EXPECT_FALSE(InstalledCopy::SameFolder(L"C:\\Program Files\\Pelmora", L"C:\\Program Files\\Pelmora2"));

    // Without "UnInstallEp" the kept uninstaller is "uninst.ep" in the folder.
    ASSERT_TRUE(Utils::WriteRegString(L"UnInstallEp", L""));
    EXPECT_EQ(InstalledCopy::ReadPrevious().uninstallerPath, folder.wstring() + L"\\uninst.ep");
}
