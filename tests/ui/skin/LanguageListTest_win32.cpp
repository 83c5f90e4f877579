// The start language on Windows: the user's UI language is the system's, not the C runtime's
// locale variables; and the user's, not the system's own language.
#include <gtest/gtest.h>

#include "LanguageBox.h"
#include "utils/WindowsApi_win32.h"

using languagetest::LanguageBox;
using languagetest::LanguageListTest;
using testsupport::ScopedEnv;

namespace {

TEST_F(LanguageListTest, DefaultUiLanguageIsTheSystemsUiLanguage) {
    LanguageBox given;
    Skin::FillLanguageList(given.combo, ::GetUserDefaultUILanguage());
    const int expected = given.combo->GetCurSel();

    // Locale variables a POSIX program would read must not decide it.
    ScopedEnv all("LC_ALL", expected == 1 ? "en_US.UTF-8" : "zh_TW.UTF-8");
    Skin::OpenSkinPackage();
    LanguageBox box;
    Skin::FillLanguageList(box.combo);
    EXPECT_EQ(box.combo->GetCurSel(), expected);
}

// Run on its own (tests/ui/skin/CMakeLists.txt) in a process whose user UI language differs from
// the system's: wine takes the system's language from LC_CTYPE and the user's UI language from
// LC_MESSAGES when the build machine has both locales.
TEST_F(LanguageListTest, DISABLED_StartsInTheUsersUiLanguage) {
    ASSERT_EQ(::GetUserDefaultUILanguage(), 1028);
    ASSERT_EQ(::GetSystemDefaultLangID(), 1033);
    LanguageBox box;
    Skin::FillLanguageList(box.combo);
    EXPECT_EQ(box.combo->GetCurSel(), 1);
}

TEST_F(LanguageListTest, AChoiceBecomesTheThreadsLocale) {
    LanguageBox box;
    Skin::FillLanguageList(box.combo, 1033);
    box.combo->SelectItem(1);
    EXPECT_EQ(::GetThreadLocale(), MAKELCID(1028, SORT_DEFAULT));
    box.combo->SelectItem(0);
    EXPECT_EQ(::GetThreadLocale(), MAKELCID(1033, SORT_DEFAULT));
}

}  // namespace
