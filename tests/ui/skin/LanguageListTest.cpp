// The language list: items from "lang.xml", the start selection from the user's UI language,
// and what a selection switches (texts, LanguageId, the window's language code).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../../support/TempDir.h"
#include "LanguageBox.h"
#include "config/LocaleTable.h"
#include "toolkit/ComboItem.h"
#include "ui/skin/SkinPackage.h"
#include "ui/skin/TextTable.h"

using Skin::GetText;
using namespace Toolkit;
using languagetest::LanguageBox;
using languagetest::LanguageListTest;

namespace {

TEST_F(LanguageListTest, EnglishUserGetsBothItemsAndStaysEnglish) {
    LanguageBox box;
    Skin::FillLanguageList(box.combo, 1033);
    ASSERT_EQ(box.combo->GetCount(), 2);
    EXPECT_EQ(box.combo->GetItemAt(0)->GetText(), L"English");
    EXPECT_EQ(box.combo->GetItemAt(1)->GetText(), L"繁體中文");
    EXPECT_EQ(*box.combo->GetItemAt(1)->GetCustomAttribute(L"lcid"), L"1028");
    EXPECT_EQ(*box.combo->GetItemAt(1)->GetCustomAttribute(L"lang"), L"zh-TW");
    EXPECT_EQ(box.combo->GetCurSel(), 0);
    // Item 0 was selected once (its lcid is LanguageId); selecting it again reports nothing.
    EXPECT_EQ(box.selections, 1);
    EXPECT_EQ(GetText(L"IDInstallBtn"), L"Install");
    EXPECT_EQ(box.languageCode, L"en-US");
    EXPECT_EQ(LanguageId().load(), 1033);
    EXPECT_EQ(Skin::ThreadLanguageId(), 1033);
}

TEST_F(LanguageListTest, HongKongUserStartsInTraditionalChinese) {
    LanguageBox box;
    Skin::FillLanguageList(box.combo, 3076);
    EXPECT_EQ(box.combo->GetCurSel(), 1);
    EXPECT_EQ(GetText(L"IDInstallBtn"), L"立即安裝");
    EXPECT_EQ(box.languageCode, L"zh-TW");
    EXPECT_EQ(LanguageId().load(), 1028);
}

TEST_F(LanguageListTest, SimplifiedChineseUserStartsInEnglish) {
    LanguageBox box;
    Skin::FillLanguageList(box.combo, 2052);
    EXPECT_EQ(box.combo->GetCurSel(), 0);
    EXPECT_EQ(GetText(L"IDInstallBtn"), L"Install");
}

TEST_F(LanguageListTest, LcidRulesOfASelection) {
    LanguageBox box;
    std::wstring code = L"zh-TW";
    // 1041 is in the locale table, but the package has no ja-JP folder: Default texts show,
    // and the window's language code stays as it was.
    CComboItemUI* japanese = box.combo->AddItem(L"日本語");
    japanese->SetCustomAttribute(L"lcid", L"1041");
    EXPECT_EQ(Skin::ApplyLanguageChoice(japanese, code), 1041);
    EXPECT_EQ(GetText(L"IDBackBtn"), L" Back");
    EXPECT_EQ(LanguageId().load(), 1041);
    EXPECT_EQ(code, L"zh-TW");

    // Without lcid the "lang" names the folder and the LCID is 0.
    CComboItemUI* byName = box.combo->AddItem(L"by name");
    byName->SetCustomAttribute(L"lang", L"zh-TW");
    EXPECT_EQ(Skin::ApplyLanguageChoice(byName, code), 0);
    EXPECT_EQ(GetText(L"IDBackBtn"), L"<返回");
    EXPECT_EQ(LanguageId().load(), 0);

    // An LCID outside the table loads en-US; leading digits count.
    CComboItemUI* unknown = box.combo->AddItem(L"unknown");
    unknown->SetCustomAttribute(L"lcid", L"9999");
    EXPECT_EQ(Skin::ApplyLanguageChoice(unknown, code), 9999);
    EXPECT_EQ(GetText(L"IDBackBtn"), L"<Back");
    CComboItemUI* digits = box.combo->AddItem(L"digits");
    digits->SetCustomAttribute(L"lcid", L"1033abc");
    EXPECT_EQ(Skin::ApplyLanguageChoice(digits, code), 1033);
    EXPECT_EQ(code, L"en-US");
    EXPECT_EQ(Skin::ApplyLanguageChoice(nullptr, code), 0);
}

TEST_F(LanguageListTest, OddLangElementsAndAnUnreadableList) {
    testsupport::TempDir dir;
    {
        std::ofstream(dir.path() / "lang.xml")
            << "<Langs><Lang/><Lang lcid='1028' lang='zh-TW'/>\n<LANG TEXT='English' LCID='1033'/>"
               "<Other text='x'/></Langs>";
    }
    testsupport::ScopedEnv env("QV_SKIN_DIR", dir.path().string());
    Skin::OpenSkinPackage();
    LanguageBox box;
    Skin::FillLanguageList(box.combo, 1033);
    ASSERT_EQ(box.combo->GetCount(), 2);
    EXPECT_EQ(box.combo->GetItemAt(0)->GetText(), L"");
    EXPECT_EQ(box.combo->GetItemAt(1)->GetText(), L"English");
    // The English item was selected while filling (its lcid is LanguageId), then item 0.
    EXPECT_EQ(box.combo->GetCurSel(), 0);

    std::filesystem::remove(dir.path() / "lang.xml");
    {
        std::ofstream(dir.path() / "lang.xml") << "<Langs><Lang text='x'";
    }
    LanguageBox empty;
    Skin::FillLanguageList(empty.combo, 1028);
    EXPECT_EQ(empty.combo->GetCount(), 0);
    EXPECT_EQ(empty.combo->GetCurSel(), -1);
    EXPECT_EQ(empty.selections, 0);
}

}  // namespace
