// The layout reader: tolerant input, errors with their place, factories, shared and local sets.
#include <gtest/gtest.h>

#include "support/TestSkin.h"

#include "TreeHelpers.h"
#include "toolkit/Button.h"
#include "toolkit/CheckBox.h"
#include "toolkit/Combo.h"
#include "toolkit/Label.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/SkinResources.h"

#include <filesystem>
#include <fstream>

using namespace Toolkit;

namespace {
class SequenceFactory : public IControlFactory {
public:
    std::vector<std::wstring> asked;
    std::unique_ptr<CControlUI> CreateControl(const std::wstring& name) override {
        asked.push_back(name);
        if (Utils::EqualsNoCase(name, L"SequenceLabel")) return std::make_unique<CLabelUI>();
        return nullptr;
    }
};
}  // namespace

TEST(LayoutBuilder_Input, RawLessThanAndBlankBeforeDeclaration) {
    Tree t(" \r\n<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Window size=\"10,10\"><Button name=\"back\" text=\"<Back\"/></Window>");
    EXPECT_EQ(t.Find("back")->GetText(), L"<Back");
}

TEST(LayoutBuilder_Errors, ParseErrorCarriesLineAndColumn) {
    CPaintManagerUI m;
    BuildResult r = CLayoutBuilder::BuildFromText("<Window size=\"1,1\">\n  <Label text=\"x\">\n  </Lable>\n</Window>", &m, nullptr);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.line, 3);
    EXPECT_GT(r.error.column, 1);
    EXPECT_NE(r.error.Format("t.xml").find("t.xml:3:"), std::string::npos);

    BuildResult empty = CLayoutBuilder::BuildFromText("<Window size=\"1,1\"><Font id=\"1\"/></Window>", &m, nullptr);
    EXPECT_FALSE(empty.ok);
    BuildResult garbage = CLayoutBuilder::BuildFromText("", &m, nullptr);
    EXPECT_FALSE(garbage.ok);
}

TEST(LayoutBuilder_Factory, UnknownNamesGoToTheWindowFactoryThenNowhere) {
    SequenceFactory factory;
    Tree t(R"(<Window size="100,100"><VerticalLayout>
  <SequenceLabel name="anim" height="20"/>
  <Mystery name="gone"><Label name="inside"/></Mystery>
  <Label name="after"/></VerticalLayout></Window>)",
           &factory);
    EXPECT_EQ(factory.asked, (std::vector<std::wstring>{L"SequenceLabel", L"Mystery"}));
    EXPECT_NE(t.manager.FindControl(L"anim"), nullptr);
    EXPECT_EQ(t.manager.FindControl(L"gone"), nullptr);
    EXPECT_EQ(t.manager.FindControl(L"inside"), nullptr);
    EXPECT_EQ(t.Pos("after").top, 20);
    ASSERT_FALSE(t.result.warnings.empty());
    EXPECT_EQ(t.result.warnings[0].line, 3);
}

TEST(LayoutBuilder_Attributes, NamesWithoutCaseAndCustomAttributesKept) {
    Tree t(R"(<Window size="100,100"><VerticalLayout><Label NAME="l" Height="30" TEXTCOLOR="#FF112233"
        lcid="1033" userdata="Installing:%d%%"/></VerticalLayout></Window>)");
    auto* l = t.As<CLabelUI>("l");
    EXPECT_EQ(l->GetFixedHeight(), 30);
    EXPECT_EQ(l->GetTextColor(), 0xFF112233u);
    ASSERT_NE(l->GetCustomAttribute(L"lcid"), nullptr);
    EXPECT_EQ(*l->GetCustomAttribute(L"lcid"), L"1033");
    EXPECT_EQ(l->GetUserData(), L"Installing:%d%%");
}

TEST(LayoutBuilder_Sets, DefaultsStylesAndWindowLocalFontsOverShared) {
    SharedResources().AddFont(91, FontInfo{L"SharedFace", 16}, false);
    SharedResources().AddFont(92, FontInfo{L"SharedOther", 22}, false);
    Tree t(R"(<Window size="100,100">
      <Font id="91" name="LocalFace" size="14" bold="true"/>
      <Default name="Button" value="textcolor=&quot;#FF010203&quot; font=&quot;92&quot;"/>
      <Style name="big" value="height=&quot;44&quot; textcolor='#FF0A0B0C'"/>
      <VerticalLayout><Button name="b"/><Button name="s" style="big"/><Button name="own" textcolor="#FF999999"/>
      </VerticalLayout></Window>)");
    EXPECT_EQ(t.manager.GetFont(91).face, L"LocalFace");
    EXPECT_TRUE(t.manager.GetFont(91).bold);
    EXPECT_EQ(t.manager.GetFont(92).face, L"SharedOther");
    EXPECT_EQ(t.As<CButtonUI>("b")->GetTextColor(), 0xFF010203u);
    EXPECT_EQ(t.As<CButtonUI>("b")->GetFontId(), 92);
    EXPECT_EQ(t.As<CButtonUI>("s")->GetTextColor(), 0xFF0A0B0Cu);
    EXPECT_EQ(t.Find("s")->GetFixedHeight(), 44);
    EXPECT_EQ(t.As<CButtonUI>("own")->GetTextColor(), 0xFF999999u);  // written after the defaults
}

TEST(LayoutBuilder_Sets, SharedFragmentEntersTheProcessSetOnly) {
    ASSERT_TRUE(CLayoutBuilder::LoadSharedFragment(R"(<Fonts>
        <Font id="95" name="微软雅黑" size="30" bold="true" shared="true"/>
        <Font id="96" name="Unshared" size="10"/>
        <Style name="lan" value="bkcolor=&quot;#FF451236&quot;" shared="true"/></Fonts>)"));
    ASSERT_NE(SharedResources().FindFont(95), nullptr);
    EXPECT_EQ(SharedResources().FindFont(95)->size, 30);
    EXPECT_EQ(SharedResources().FindFont(96), nullptr);
    ASSERT_NE(SharedResources().FindStyle(L"lan"), nullptr);
    LayoutMessage error;
    EXPECT_FALSE(CLayoutBuilder::LoadSharedFragment("<Fonts>", &error));
    EXPECT_EQ(error.line, 1);
}

TEST(LayoutBuilder_Combo, ItemsFromTheLayoutWithCustomAttributes) {
    Tree t(R"(<Window size="100,40"><Combo name="c"><ListLabelElement text="English" lcid="1033" lang="en-US"/>
        <ListLabelElement text="繁體中文" lcid="1028" selected="true"/><Label name="stray"/></Combo></Window>)");
    auto* c = t.As<CComboUI>("c");
    ASSERT_EQ(c->GetCount(), 2);
    EXPECT_EQ(c->GetCurSel(), 1);
    EXPECT_EQ(*c->GetItemAt(0)->GetCustomAttribute(L"lang"), L"en-US");
    EXPECT_EQ(t.manager.FindControl(L"stray"), nullptr);
}

TEST(LayoutBuilder_Include, BuildsAnotherLayoutInPlace) {
    SkinResources::Instance().Close();
    const std::string dir = TestSkin::PrivateFolder("qv_include");
    std::filesystem::create_directories(dir);
    { std::ofstream(dir + "/part.xml") << R"(<HorizontalLayout name="part" height="25"><Label name="inner"/></HorizontalLayout>)"; }
    ASSERT_TRUE(SkinResources::Instance().OpenFolder(dir));
    Tree t(R"(<Window size="100,100"><VerticalLayout><Include source="PART.xml"/><Label name="below"/></VerticalLayout></Window>)");
    EXPECT_EQ(t.Pos("inner"), (Rect{0, 0, 100, 25}));
    EXPECT_EQ(t.Pos("below").top, 25);
    SkinResources::Instance().Close();
}

TEST(LayoutBuilder_Limits, HostileNestingIsRefusedNotOverflowed) {
    std::string xml = "<Window size=\"10,10\">";
    for (int i = 0; i < 5000; ++i) xml += "<VerticalLayout>";
    for (int i = 0; i < 5000; ++i) xml += "</VerticalLayout>";
    xml += "</Window>";
    CPaintManagerUI m;
    BuildResult r = CLayoutBuilder::BuildFromText(xml, &m, nullptr);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.text.find("nested"), std::string::npos);
}

TEST(LayoutBuilder_Defaults, CheckBoxStartsWithTheButtonsAlignment) {
    Tree t(R"(<Window size="100,60"><VerticalLayout><Button name="b"/><CheckBox name="c"/>
        <CheckBox name="l" align="left"/></VerticalLayout></Window>)");
    EXPECT_EQ(t.As<CCheckBoxUI>("c")->GetTextStyle(), t.As<CButtonUI>("b")->GetTextStyle());
    EXPECT_EQ(t.As<CCheckBoxUI>("l")->GetTextStyle().hAlign, HAlign::Left);
}

TEST(LayoutBuilder_Children, ControlsOfAWindowsOwnFactoryTakeChildrenThroughAddChild) {
    // A control the toolkit does not know, holding labels its own way (the installer's
    // animation controls and later ones plug in like this).
    struct Strip : CControlUI {
        std::vector<std::unique_ptr<CControlUI>> frames;
        bool AddChild(std::unique_ptr<CControlUI>& child) override {
            if (child->GetClass() != L"Label") return false;
            frames.push_back(std::move(child));
            return true;
        }
    };
    struct Factory : IControlFactory {
        std::unique_ptr<CControlUI> CreateControl(const std::wstring& name) override {
            return name == L"Strip" ? std::make_unique<Strip>() : nullptr;
        }
    } factory;
    CPaintManagerUI m;
    BuildResult r = CLayoutBuilder::BuildFromText(
        R"(<Window size="10,10"><Strip><Label text="a"/><Button text="b"/><Label text="c"/></Strip></Window>)", &m,
        &factory);
    ASSERT_TRUE(r.ok);
    auto* strip = static_cast<Strip*>(r.root.get());
    ASSERT_EQ(strip->frames.size(), 2u);
    EXPECT_EQ(strip->frames[1]->GetText(), L"c");
    ASSERT_EQ(r.warnings.size(), 1u);  // the button is refused, with its place
    EXPECT_EQ(r.warnings[0].line, 1);
    EXPECT_NE(r.warnings[0].text.find("'Button' ignored"), std::string::npos);
}

TEST(LayoutBuilder_Attributes, UnknownNamesAreReportedWithTheirPlaceAndStillKept) {
    const std::string dir = TestSkin::PrivateFolder("qv_unknown_attr");
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/typo.xml") << "<Window size=\"10,10\">\n  <VerticalLayout>\n"
                                        "    <Label name=\"a\" bkcolr=\"#FFFF0000\" text=\"x\"/>\n"
                                        "    <Combo><ListLabelElement text=\"e\" selected=\"true\" lcid=\"1033\"/></Combo>\n"
                                        "    <Button style=\"nostyle\" textcolor=\"#FF000000\" hotbkcolor=\"#FF000000\"/>\n"
                                        "  </VerticalLayout>\n</Window>";
    ASSERT_TRUE(SkinResources::Instance().OpenFolder(dir));
    CPaintManagerUI m;
    BuildResult r = CLayoutBuilder::BuildFromResource(L"typo.xml", &m, nullptr);
    SkinResources::Instance().Close();
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.warnings.size(), 2u);
    EXPECT_EQ(r.warnings[0].line, 3);
    EXPECT_EQ(r.warnings[0].column, 21);  // where "bkcolr" begins
    EXPECT_NE(r.warnings[1].text.find("'lcid'"), std::string::npos);
    EXPECT_EQ(r.warnings[1].line, 4);
    // The line the trace carries (standard error on Linux, the debugger output on Windows).
    EXPECT_EQ(r.warnings[0].Format("typo.xml"),
              "typo.xml:3:21: unknown attribute 'bkcolr' of 'Label' kept as a custom attribute");
    // Still there for code that reads it, like "userdata".
    CControlUI* label = r.root->FindFirst([](CControlUI* c) { return c->GetName() == L"a"; });
    ASSERT_NE(label, nullptr);
    ASSERT_NE(label->GetCustomAttribute(L"bkcolr"), nullptr);
    EXPECT_EQ(*label->GetCustomAttribute(L"bkcolr"), L"#FFFF0000");
}
