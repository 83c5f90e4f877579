// The accessible tree every platform's bridge hands to screen readers: what is left out, what is
// flattened, and what icon-only buttons are called.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "TreeHelpers.h"
#include "toolkit/AccessibleTree.h"
#include "toolkit/Control.h"
#include "toolkit/ResourceSet.h"

using namespace Toolkit;

namespace {

std::wstring Names(const std::vector<CControlUI*>& controls) {
    std::wstring out;
    for (const CControlUI* c : controls) out += (out.empty() ? L"" : L",") + c->GetName();
    return out;
}

// The language table of the tests, switched by assigning `g_language`.
std::map<std::wstring, std::wstring> g_language;
std::wstring FromTable(const std::wstring& id) {
    auto it = g_language.find(id);
    return it == g_language.end() ? id : it->second;
}

struct TextTable {
    TextTable() { SetTextProvider(&FromTable); }
    ~TextTable() { SetTextProvider(nullptr); }
};

// A title row as the skins write it: spacers, a grouping row, picture-only buttons, a picture.
const char kTitleRow[] = R"(<Window size="300,200"><VerticalLayout name="root" bkimage="bg.png">
    <HorizontalLayout name="titleRow" height="40">
      <Control name="gap"/>
      <Control name="logo" width="20" bkimage="logo.png"/>
      <HorizontalLayout name="buttons" width="60">
        <Button name="minbtn" width="20" tooltip="IDMinBtnTip" resourcetext="true" normalimage="min.png"/>
        <Button name="closebtn" width="20" tooltip="IDCloseBtnTip" resourcetext="true" normalimage="close.png"/>
        <Button name="plainbtn" width="20" tooltip="Help"/>
      </HorizontalLayout>
    </HorizontalLayout>
    <Control name="rule" height="1" bkcolor="#FFE0E0E0"/>
    <Control name="line" height="2" bordersize="1" bordercolor="#FF000000"/>
    <Control name="clearBorder" height="2" bordersize="1" bordercolor="#00000000"/>
    <HorizontalLayout name="group" height="30" text="Options">
      <Control/>
      <Label name="hint" text="Pick one"/>
    </HorizontalLayout>
    <HorizontalLayout name="emptyRow" height="30"><Control/><Control/></HorizontalLayout>
    <Label name="hiddenLbl" text="gone" visible="false"/>
  </VerticalLayout></Window>)";

TEST(AccessibleTree, SpacersAreLeftOutAndGroupsFlattenedButPicturesAndNamedGroupsStay) {
    Tree t(kTitleRow);
    CControlUI* root = t.Find("root");
    // The root and the rows only group: their children stand in their place.
    EXPECT_EQ(PresenceOf(*root), AccessiblePresence::Flattened);  // a background is no reason to be listed
    EXPECT_EQ(PresenceOf(*t.Find("titleRow")), AccessiblePresence::Flattened);
    EXPECT_EQ(PresenceOf(*t.Find("gap")), AccessiblePresence::LeftOut);
    EXPECT_EQ(PresenceOf(*t.Find("emptyRow")), AccessiblePresence::Flattened);

    EXPECT_EQ(Names(AccessibleTopLevel(root)), L"logo,minbtn,closebtn,plainbtn,rule,line,group");
    EXPECT_EQ(Names(AccessibleChildren(*t.Find("group"))), L"hint");

    // What draws is a picture; a border of no colour draws nothing.
    EXPECT_EQ(t.Find("logo")->GetAccessibleRole(), AccessibleRole::Image);
    EXPECT_EQ(t.Find("rule")->GetAccessibleRole(), AccessibleRole::Image);
    EXPECT_EQ(t.Find("line")->GetAccessibleRole(), AccessibleRole::Image);
    EXPECT_EQ(t.Find("clearBorder")->GetAccessibleRole(), AccessibleRole::Filler);
    EXPECT_EQ(PresenceOf(*t.Find("clearBorder")), AccessiblePresence::LeftOut);

    // Parents skip the flattened levels; the window is the parent of the top level.
    EXPECT_EQ(AccessibleParent(*t.Find("minbtn")), nullptr);
    EXPECT_EQ(AccessibleParent(*t.Find("hint")), t.Find("group"));
    // Hit tests that land on a spacer or a row answer with what a reader lists.
    EXPECT_EQ(NearestExposed(t.Find("gap")), nullptr);
    EXPECT_EQ(NearestExposed(t.Find("group")->GetChildAt(0)), t.Find("group"));
    EXPECT_EQ(NearestExposed(t.Find("closebtn")), t.Find("closebtn"));
}

TEST(AccessibleTree, VisibilityAndNamesAreReadAtTheMomentOfAsking) {
    Tree t(kTitleRow);
    CControlUI* root = t.Find("root");
    t.Find("buttons")->SetVisible(false);
    EXPECT_EQ(Names(AccessibleTopLevel(root)), L"logo,rule,line,group");
    t.Find("buttons")->SetVisible(true);
    t.Find("hiddenLbl")->SetVisible(true);
    EXPECT_EQ(Names(AccessibleTopLevel(root)), L"logo,minbtn,closebtn,plainbtn,rule,line,group,hiddenLbl");

    // A group that loses its name stops being listed, and one that gains one is listed.
    t.Find("group")->SetText(L"");
    EXPECT_EQ(PresenceOf(*t.Find("group")), AccessiblePresence::Flattened);
    t.Find("emptyRow")->SetText(L"Row");
    EXPECT_EQ(PresenceOf(*t.Find("emptyRow")), AccessiblePresence::Exposed);
    EXPECT_TRUE(AccessibleChildren(*t.Find("emptyRow")).empty());

    root->SetVisible(false);
    EXPECT_TRUE(AccessibleTopLevel(root).empty());
    EXPECT_TRUE(AccessibleTopLevel(nullptr).empty());
}

TEST(AccessibleTree, PictureOnlyButtonsAreNamedInTheLanguageInUse) {
    TextTable table;
    g_language = {{L"IDMinBtnTip", L"Minimize"}, {L"IDCloseBtnTip", L"Close"}, {L"Help", L"not looked up"}};
    Tree t(kTitleRow);
    EXPECT_EQ(t.Find("minbtn")->GetAccessibleName(), L"Minimize");
    EXPECT_EQ(t.Find("closebtn")->GetAccessibleName(), L"Close");
    // A tooltip without "resourcetext" is shown as written.
    EXPECT_EQ(t.Find("plainbtn")->GetAccessibleName(), L"Help");
    EXPECT_EQ(t.Find("plainbtn")->GetDisplayToolTip(), L"Help");

    g_language = {{L"IDMinBtnTip", L"最小化"}, {L"IDCloseBtnTip", L"關閉"}};
    EXPECT_EQ(t.Find("minbtn")->GetAccessibleName(), L"最小化");
    EXPECT_EQ(t.Find("closebtn")->GetAccessibleName(), L"關閉");

    // A text shown wins over the tooltip.
    t.Find("closebtn")->SetText(L"IDShut");
    g_language[L"IDShut"] = L"Shut";
    EXPECT_EQ(t.Find("closebtn")->GetAccessibleName(), L"Shut");
    g_language.clear();
}

}  // namespace
