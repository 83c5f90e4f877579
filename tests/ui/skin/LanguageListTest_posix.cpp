// The start language on Linux: the user's UI language comes from the locale variables.
#include <gtest/gtest.h>

#include "LanguageBox.h"

using languagetest::LanguageBox;
using languagetest::LanguageListTest;

namespace {

TEST_F(LanguageListTest, DefaultUiLanguageComesFromTheLocaleVariables) {
    for (const char* locale : {"zh_TW.UTF-8", "zh_HK.UTF-8", "zh_MO"}) {
        testsupport::ScopedEnv all("LC_ALL", locale);
        Skin::OpenSkinPackage();
        LanguageBox box;
        Skin::FillLanguageList(box.combo);
        EXPECT_EQ(box.combo->GetCurSel(), 1) << locale;
    }
    for (const char* locale : {"zh_CN.UTF-8", "de_DE.UTF-8", "C"}) {
        testsupport::ScopedEnv all("LC_ALL", locale);
        Skin::OpenSkinPackage();
        LanguageBox box;
        Skin::FillLanguageList(box.combo);
        EXPECT_EQ(box.combo->GetCurSel(), 0) << locale;
    }
}

}  // namespace
