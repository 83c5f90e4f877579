// Every layout of the built-in package builds with the installer's controls, carries the
// names the window code looks for, and names only images the package holds (each with its
// high-density variant), except the three paths that are absent on purpose.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <set>

#include "../../support/ScopedEnv.h"
#include "BuiltWindow.h"
#include "toolkit/SkinResources.h"
#include "toolkit/Values.h"
#include "ui/controls/SequenceState.h"
#include "ui/skin/SkinPackage.h"

using namespace Toolkit;

namespace {

class LayoutsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        testsupport::ScopedEnv::Set("QV_SKIN_DIR", nullptr);
        Skin::OpenSkinPackage();
    }
};

std::wstring HighDensityName(const std::wstring& name) {
    const std::size_t dot = name.rfind(L'.');
    return name.substr(0, dot) + L"@2x" + name.substr(dot);
}

// Every image a layout names: image attributes (plain paths or property lists) and the frames
// of the sequence controls.
std::set<std::wstring> ImagesNamedBy(const std::wstring& layout) {
    std::string xml;
    EXPECT_TRUE(SkinResources::Instance().Read(layout, xml));
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_buffer(xml.data(), xml.size()));
    std::set<std::wstring> names;
    for (pugi::xpath_node x : doc.select_nodes("//*")) {
        const pugi::xml_node n = x.node();
        for (pugi::xml_attribute a : n.attributes()) {
            const std::string attr = a.name();
            if (attr == "sequencebkimage") {
                const int count = ParseInt(Utils::FromUtf8(n.attribute("sequencecount").value()));
                for (int f = 0; f < count; ++f)
                    names.insert(Controls::SequenceState::FrameName(Utils::FromUtf8(a.value()), f));
            } else if (attr.size() >= 5 && attr.compare(attr.size() - 5, 5, "image") == 0) {
                names.insert(ParseImageDescriptor(Utils::FromUtf8(a.value())).file);
            }
        }
    }
    return names;
}

TEST_F(LayoutsTest, EveryLayoutBuildsWithoutWarnings) {
    for (const auto& layout : AllLayouts()) {
        BuiltWindow w(layout);
        EXPECT_TRUE(w.Ok()) << w.result.error.Format(Utils::ToUtf8(layout));
        for (const auto& warning : w.result.warnings) ADD_FAILURE() << warning.Format(Utils::ToUtf8(layout));
    }
}

TEST_F(LayoutsTest, NetworkTipLayoutStartsWithABlankBeforeItsDeclaration) {
    std::string xml;
    ASSERT_TRUE(SkinResources::Instance().Read(L"NetworkTipWnd.xml", xml));
    ASSERT_GT(xml.size(), 6u);
    EXPECT_EQ(xml.substr(0, 6), " <?xml");
    EXPECT_TRUE(BuiltWindow(L"NetworkTipWnd.xml").Ok());
}

TEST_F(LayoutsTest, WindowsCarryTheNamesAndSizesTheirCodeUses) {
    BuiltWindow main(L"MainWnd.xml");
    ASSERT_TRUE(main.Ok());
    EXPECT_EQ(main.manager.GetInitSize(), (Size{600, 400}));
    EXPECT_EQ(main.manager.GetCaptionRect(), (Rect{0, 0, 0, 35}));
    for (const wchar_t* name :
         {L"winCtn", L"titleTabLt", L"mainTabLt", L"langCombo", L"defaultInstallBtn", L"customeBtn", L"backBtn",
          L"chDirBtn", L"installDirEdit", L"createDSCb", L"createQSCb", L"customeInstallBtn", L"titleGrpCtn",
          L"progressAnLb", L"finishedLbl", L"progressLb", L"installPrg", L"openProduceBtn", L"closebtn", L"minbtn",
          L"installDirLbl", L"otherLbl", L"langLbl", L"ProductName", L"ProductName1", L"insFinish"})
        EXPECT_NE(main.manager.FindControl(name), nullptr) << Utils::ToUtf8(name);
    EXPECT_EQ(main.manager.FindControl(L"progressAnLb")->GetClass(), L"SequenceLabel");
    EXPECT_EQ(main.manager.FindControl(L"progressLb")->GetUserData(), L"IDProgressing");

    const struct {
        const wchar_t* layout;
        Size size;
        std::vector<const wchar_t*> names;
    } boxes[] = {
        {L"MessageBox1Wnd.xml", {360, 110}, {L"captionLbl", L"textLbl", L"closebtn"}},
        {L"MessageBox2Wnd.xml", {360, 150}, {L"captionLbl", L"textLbl", L"closebtn"}},
        {L"ExitTipWnd.xml", {360, 180}, {L"okBtn", L"cancelBtn", L"closebtn"}},
        {L"InstalledPathTipWnd.xml", {370, 180}, {L"okBtn", L"cancelBtn", L"closebtn"}},
        {L"NetworkTipWnd.xml", {360, 180}, {L"okBtn", L"cancelBtn", L"closebtn"}},
    };
    for (const auto& box : boxes) {
        BuiltWindow w(box.layout);
        ASSERT_TRUE(w.Ok());
        EXPECT_EQ(w.manager.GetInitSize(), box.size) << Utils::ToUtf8(box.layout);
        EXPECT_TRUE(w.manager.GetShadow().show);
        for (const wchar_t* name : box.names)
            EXPECT_NE(w.manager.FindControl(name), nullptr) << Utils::ToUtf8(box.layout) << " " << Utils::ToUtf8(name);
    }
}

TEST_F(LayoutsTest, EveryNamedImageIsInThePackageAtBothScales) {
    const std::set<std::wstring> absent = {L"res\\common\\minbtn4.png", L"res\\common\\closebtn4.png",
                                           L"res\\mainWnd\\tipLbl.png"};
    std::set<std::wstring> seenAbsent;
    std::size_t checked = 0;
    for (const auto& layout : AllLayouts()) {
        for (const auto& image : ImagesNamedBy(layout)) {
            ASSERT_FALSE(image.empty()) << Utils::ToUtf8(layout);
            if (absent.count(image)) {
                seenAbsent.insert(image);
                EXPECT_FALSE(SkinResources::Instance().Exists(image)) << Utils::ToUtf8(image);
                continue;
            }
            EXPECT_TRUE(SkinResources::Instance().Exists(image)) << Utils::ToUtf8(image);
            EXPECT_TRUE(SkinResources::Instance().Exists(HighDensityName(image))) << Utils::ToUtf8(image);
            ++checked;
        }
    }
    EXPECT_EQ(seenAbsent, absent);
    EXPECT_GE(checked, 129u + 10u);
}

}  // namespace
