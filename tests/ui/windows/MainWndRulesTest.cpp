// The main window's decisions and texts that need no window.
#include <gtest/gtest.h>

#include "ui/windows/MainWndRules.h"
#include "ui/windows/SkinWindowSpec.h"

using namespace MainWndRules;

TEST(MainWndRules, CloseRulesDependOnThePage) {
    EXPECT_TRUE(AcceptsClose(kDefaultPage));
    EXPECT_TRUE(AcceptsClose(kCustomPage));
    EXPECT_FALSE(AcceptsClose(kProgressPage));
    EXPECT_TRUE(AcceptsClose(kFinishPage));
    // The close button asks even during an installation; only the finish page closes at once.
    EXPECT_TRUE(CloseButtonAsks(kDefaultPage));
    EXPECT_TRUE(CloseButtonAsks(kProgressPage));
    EXPECT_FALSE(CloseButtonAsks(kFinishPage));
}

TEST(MainWndRules, TitleRowFollowsTheMainPage) {
    EXPECT_EQ(TitlePageFor(0), 1);
    EXPECT_EQ(TitlePageFor(1), 1);
    EXPECT_EQ(TitlePageFor(2), -1) << "the progress page leaves the title row alone";
    EXPECT_EQ(TitlePageFor(3), 2);
    EXPECT_EQ(TitlePageFor(7), 0);
}

TEST(MainWndRules, ProgressTextFormatsOnlyOneInteger) {
    EXPECT_EQ(ProgressText(L"Installing:%d%%", 35), L"Installing:35%");
    EXPECT_EQ(ProgressText(L"正在安裝:%d%%", 100), L"正在安裝:100%");
    // A broken template from a skin is shown as it is instead of reading missing arguments.
    EXPECT_EQ(ProgressText(L"Installing:%s", 35), L"Installing:%s");
    EXPECT_EQ(ProgressText(L"%d of %d", 35), L"%d of %d");
    EXPECT_EQ(ProgressText(L"Installing", 35), L"Installing");
    EXPECT_LE(ProgressText(std::wstring(400, L'x') + L"%d", 1).size(), 249u);
}

TEST(SkinWindowSpec, ClassNameIsTheFileNameUpToItsLastDot) {
    const SkinWindowSpec window = SkinWindowSpec::ForLayout(L"NetworkTipWnd.xml");
    EXPECT_EQ(window.skinFolder, L"");
    EXPECT_EQ(window.skinFile, L"NetworkTipWnd.xml");
    EXPECT_EQ(window.className, L"NetworkTipWnd");
    EXPECT_EQ(SkinWindowSpec::ForLayout(L"a.b.xml").className, L"a.b");
}
