#include <gtest/gtest.h>

#include <string>

#include "utils/Network.h"
#include "utils/ProcessArguments.h"
#include "utils/RegistryStore.h"
#include "utils/SpecialFolders.h"
#include "utils/StringUtils.h"
#include "utils/SystemInfo.h"
#include "utils/SystemLocale.h"
#include "utils/Thread.h"
#include "utils/WindowsApi_win32.h"
#include <objbase.h>

using namespace Utils;

namespace {

constexpr wchar_t kTestKey[] = L"Software\\VarNelSoft\\QuorvexUtilsTest";

// Removes the test's registry key before and after a test.
struct TestKey {
    TestKey() { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
    ~TestKey() { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
};

}  // namespace

TEST(SystemInfo_Version, TheFamilyIsWindowsWithAKnownName) {
    const auto [family, name] = GetOsVersionName();
    EXPECT_EQ(family, L"Windows");
    EXPECT_FALSE(name.empty());
    EXPECT_NE(name, L"XP-");  // the numbers were had from ntdll
}

TEST(SystemInfo_Admin, UnknownUsersAreNotAdministrators) {
    EXPECT_FALSE(IsUserAdmin(L"no-such-user-quorvex"));
    const bool processAdmin = IsProcessAdmin();
    EXPECT_EQ(IsProcessAdmin(), processAdmin);  // answers from the token, the same each time
    std::wstring name = L"unchanged";
    if (!GetConsoleUserName(name)) {
        EXPECT_EQ(name, L"unchanged");
    } else {
        EXPECT_FALSE(name.empty());
    }
}

// The probe runs on a worker of its own that has not entered COM, as the installer's window and
// unattended run call it; no other thread of this program is in the multi-threaded apartment
// (whose threads would lend theirs). 0 would say that the network list manager could not be
// created: wine has one, so any other value shows that it was asked.
TEST(Network_Probe, AnswersFromTheNetworkListManagerOnAThreadWithoutCom) {
    uint32_t value = 0;
    Utils::Thread probe(nullptr, L"ABDEF", [&value](void*) {
        value = CheckNetwork();
        return 0u;
    });
    ASSERT_TRUE(probe.HasHandle());
    ASSERT_TRUE(probe.Resume());
    probe.Join();
    EXPECT_NE(value, 0u);
    const uint32_t verdict = value >> 16;
    const uint32_t flags = value & 0xFFFF;
    EXPECT_LE(verdict, 2u) << value;
    EXPECT_EQ(verdict == 1, flags == 0) << value;
    // The caller's apartment is its own again: the probe left none behind.
    HRESULT entered = E_FAIL;
    Utils::Thread after(nullptr, L"ABDEF", [&entered](void*) {
        (void)CheckNetwork();
        entered = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(entered)) CoUninitialize();
        return 0u;
    });
    ASSERT_TRUE(after.Resume());
    after.Join();
    EXPECT_EQ(entered, S_OK);
}

TEST(RegistryStore_Values, RoundTripAsStringsUnderTheCurrentUser) {
    TestKey cleanup;
    std::wstring v = L"untouched";
    EXPECT_FALSE(RegistryStore::Read(kTestKey, L"InstallPath", v));
    EXPECT_EQ(v, L"untouched");
    const std::wstring path = L"  C:\\My Apps\\\"Quorvex\" \u5B89\u88C5 ";
    ASSERT_TRUE(RegistryStore::Write(kTestKey, L"InstallPath", path));
    EXPECT_TRUE(RegistryStore::Read(kTestKey, L"installpath", v));
    EXPECT_EQ(v, path);
    EXPECT_FALSE(RegistryStore::Write(kTestKey, L"InstallPath", L"a\nb"));
    EXPECT_TRUE(RegistryStore::Read(kTestKey, L"InstallPath", v));
    EXPECT_EQ(v, path);

    // Stored as REG_SZ with the terminating zero counted.
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kTestKey, L"InstallPath", RRF_RT_ANY, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, (path.size() + 1) * sizeof(wchar_t));
}

TEST(RegistryStore_Values, OtherTypesAreNotStrings) {
    TestKey cleanup;
    ASSERT_TRUE(RegistryStore::Write(kTestKey, L"Probe", L"x"));
    const DWORD number = 7;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kTestKey, L"Number", REG_DWORD, &number, sizeof number),
              ERROR_SUCCESS);
    std::wstring v = L"untouched";
    EXPECT_FALSE(RegistryStore::Read(kTestKey, L"Number", v));
    EXPECT_EQ(v, L"untouched");
}

TEST(RegistryStore_Values, LongValuesAreReadWhole) {
    TestKey cleanup;
    const std::wstring longValue(5000, L'p');
    ASSERT_TRUE(RegistryStore::Write(kTestKey, L"Long", longValue));
    std::wstring v;
    EXPECT_TRUE(RegistryStore::Read(kTestKey, L"Long", v));
    EXPECT_EQ(v, longValue);
}

TEST(SystemLocale_Windows, TheUsersLocaleAndTheSystemLanguage) {
    const std::string locale = SystemPosixLocale();
    const auto [language, country] = SystemLanguageAndCountry();
    EXPECT_FALSE(language.empty()) << locale;
    EXPECT_FALSE(country.empty()) << locale;
    EXPECT_EQ(locale, language + "_" + country);
    ASSERT_TRUE(SystemDefaultLangId().has_value());
    EXPECT_EQ(*SystemDefaultLangId(), GetSystemDefaultLangID());
}

TEST(ProcessArguments_Windows, TheProgramComesFirst) {
    const auto args = ProcessArguments();
    ASSERT_FALSE(args.empty());
    EXPECT_NE(args[0].find(L"qv_utils_tests"), std::wstring::npos) << ToUtf8(args[0]);
    EXPECT_NE(ToUtf8(ExecutablePath().filename().native()).find("qv_utils_tests"), std::string::npos);
}
