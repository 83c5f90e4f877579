#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>

#include "tests/support/TempDir.h"
#include "utils/Folders.h"
#include "utils/PathText.h"
#include "utils/SpecialFolders.h"
#include "utils/WindowsApi_win32.h"

using namespace Utils;
using testsupport::TempDir;

namespace {

// Sets a variable of the process for the length of a scope (GetTempPathW reads TMP first).
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const std::wstring& value) : name_(name) {
        wchar_t old[32768];
        const DWORD n = GetEnvironmentVariableW(name, old, 32768);
        if (n > 0 && n < 32768) saved_ = std::wstring(old, n);
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedVariable() { SetEnvironmentVariableW(name_, saved_ ? saved_->c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const wchar_t* name_;
    std::optional<std::wstring> saved_;
};

}  // namespace

TEST(Folders_Temp, CreatesThePrivateFolderInTheUsersTempFolderAndReusesIt) {
    TempDir dir;
    ScopedVariable tmp(L"TMP", PathToWide(dir.path()));
    const std::wstring folder = GetTempFolder();
    const auto expected = dir.path() / L"~VarNelTemp.92482B06FB471E17";
    EXPECT_EQ(folder, expected.native() + L"\\");
    ASSERT_TRUE(std::filesystem::is_directory(expected));
    std::ofstream(expected / "marker") << "x";
    EXPECT_EQ(GetTempFolder(), folder);
    EXPECT_TRUE(std::filesystem::exists(expected / "marker"));
}

TEST(Folders_Temp, AFileAtTheNameIsNotTakenForTheFolder) {
    TempDir dir;
    ScopedVariable tmp(L"TMP", PathToWide(dir.path()));
    dir.Write("~VarNelTemp.92482B06FB471E17", "planted");
    EXPECT_EQ(GetTempFolder(), L"");
}

TEST(Folders_Create, TakesBothSeparatorsAndStartsBelowTheDrive) {
    TempDir dir;
    const std::wstring mixed = PathToWide(dir.path()) + L"/one\\two/three";
    EXPECT_TRUE(CreateDirectories(mixed));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "one" / "two" / "three"));
    // The drive itself exists and is never created.
    const std::wstring drive = PathToWide(dir.path()).substr(0, 3);
    EXPECT_TRUE(CreateDirectories(drive));
    EXPECT_TRUE(CreateDirectories(drive.substr(0, 2)));
}

TEST(SpecialFolders_Known, AreTheSystemsFolders) {
    const auto exe = ExecutablePath();
    EXPECT_TRUE(std::filesystem::is_regular_file(exe)) << exe.string();
    EXPECT_EQ(exe.extension(), L".exe");
    for (const auto& folder : {ProgramFilesFolder(), CommonDocumentsFolder(), StateHome(), ConfigHome()}) {
        EXPECT_TRUE(folder.is_absolute()) << folder.string();
    }
    wchar_t temp[MAX_PATH + 2] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    EXPECT_EQ(TempRoot().native(), std::wstring(temp));
}

TEST(SpecialFolders_AppData, FollowsTheVariable) {
    {
        ScopedVariable appData(L"APPDATA", L"C:\\Roaming Here");
        ASSERT_TRUE(AppDataFolder().has_value());
        EXPECT_EQ(AppDataFolder()->native(), L"C:\\Roaming Here");
    }
    ScopedVariable empty(L"APPDATA", L"");
    SetEnvironmentVariableW(L"APPDATA", nullptr);
    EXPECT_FALSE(AppDataFolder().has_value());
}
