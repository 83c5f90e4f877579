// The start language on Windows: the user's UI language is the system's, not the C runtime's
// locale variables.
#include <gtest/gtest.h>

#include "LanguageBox.h"
#include "utils/WindowsApi_win32.h"

using languagetest::LanguageBox;
using languagetest::LanguageListTest;

namespace {

TEST_F(LanguageListTest, DefaultUiLanguageIsTheSystemsUiLanguage) {
    LanguageBox given;
    Skin::FillLanguageList(given.combo, ::GetUserDefaultUILanguage());
    const int expected = given.combo->GetCurSel();

    // Locale variables a POSIX program would read must not decide it.
    testsupport::ScopedEnv all("LC_ALL", expected == 1 ? "en_US.UTF-8" : "zh_TW.UTF-8");
    Skin::OpenSkinPackage();
    LanguageBox box;
    Skin::FillLanguageList(box.combo);
    EXPECT_EQ(box.combo->GetCurSel(), expected);
}

}  // namespace
