// The skin loader on the built-in package: name rules, the language layers, resource lists
// with odd entries, and the designer's folder override.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <filesystem>
#include <fstream>
#include <map>

#include "../../support/ScopedEnv.h"
#include "../../support/TempDir.h"
#include "config/LocaleTable.h"
#include "install/InstallTexts.h"
#include "toolkit/LayoutBuilder.h"
#include "toolkit/PaintManager.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/SkinResources.h"
#include "ui/skin/EmbeddedResources.h"
#include "ui/skin/ProductIcon.h"
#include "ui/skin/SkinPackage.h"
#include "ui/skin/TextTable.h"
#include "utils/StringUtils.h"

using Skin::GetText;
using Toolkit::SkinResources;

namespace {

// The texts a language folder's own file defines, read straight from the package.
std::map<std::wstring, std::wstring> FolderTexts(const std::wstring& locale) {
    std::string xml;
    EXPECT_TRUE(SkinResources::Instance().Read(L"lang/" + locale + L"/texts.xml", xml));
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_buffer(xml.data(), xml.size()));
    std::map<std::wstring, std::wstring> texts;
    for (pugi::xml_node n : doc.document_element().children("Text"))
        texts[Utils::FromUtf8(n.attribute("id").value())] = Utils::FromUtf8(n.attribute("value").value());
    return texts;
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

class SkinPackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::ScopedEnv::Set("QV_SKIN_DIR", nullptr);
        Skin::OpenSkinPackage();
    }
};

TEST_F(SkinPackageTest, BuiltInPackageAnswersToTheNamesCodeAndLayoutsUse) {
    ASSERT_GT(Skin::EmbeddedResourceCount(), 0u);
    EXPECT_FALSE(Skin::FindEmbeddedResource("zipres", "idr_skin").empty());
    EXPECT_TRUE(Skin::FindEmbeddedResource("ZIPRES", "IDR_OTHER").empty());
    SkinResources& skin = SkinResources::Instance();
    EXPECT_TRUE(skin.Exists(L"MainWnd.xml"));
    EXPECT_TRUE(skin.Exists(L"ExitTipWnd.xml"));
    EXPECT_TRUE(skin.Exists(L"res\\MessageBoxWnd\\closebtn1.png"));
    std::string a, b;
    ASSERT_TRUE(skin.Read(L"res\\MessageBoxWnd\\closebtn1.png", a));
    ASSERT_TRUE(skin.Read(L"res/MessageBoxWnd/closeBtn1.png", b));
    EXPECT_EQ(a, b);
    // The archive keeps its own spelling.
    bool lowerMain = false;
    for (const auto& n : skin.EntryNames()) lowerMain |= n == "mainWnd.xml";
    EXPECT_TRUE(lowerMain);
    EXPECT_EQ(LanguageId().load(), 1033);
}

TEST_F(SkinPackageTest, EnglishTextsIncludeTheRawAngleBrackets) {
    EXPECT_EQ(GetText(L"IDBackBtn"), L"<Back");
    EXPECT_EQ(GetText(L"IDCustomeBtn"), L"Custom Installation>");
    EXPECT_EQ(GetText(L"IDProductName"), L"Quorvex");
    EXPECT_EQ(GetText(L"IDProgressing"), L"Installing:%d%%");
    EXPECT_EQ(InstallTexts::Text(L"IDFailInstPack"), L"Install failed");
}

TEST_F(SkinPackageTest, LookupOfUnknownOrNullIds) {
    EXPECT_EQ(GetText(L"Plain words, not an id"), L"Plain words, not an id");
    Toolkit::CPaintManagerUI manager;
    Toolkit::BuildResult built = Toolkit::CLayoutBuilder::BuildFromText(
        "<Window size='200,40'><HorizontalLayout><Label name='plain' resourcetext='true' text='Hello there'/>"
        "<Label name='id' resourcetext='true' text='IDChDirBtn'/></HorizontalLayout></Window>",
        &manager, nullptr);
    ASSERT_TRUE(built.ok);
    manager.AttachRoot(std::move(built.root));
    EXPECT_EQ(manager.FindControl(L"plain")->GetDisplayText(), L"Hello there");
    EXPECT_EQ(manager.FindControl(L"id")->GetDisplayText(), L"Modify");
    EXPECT_EQ(GetText(static_cast<const wchar_t*>(nullptr)), L"");
    EXPECT_EQ(Toolkit::LookupText(L"IDInstallBtn"), L"Install");
}

TEST_F(SkinPackageTest, ChineseAndBackRestoresEveryEnglishText) {
    ASSERT_TRUE(Skin::SwitchSkinLanguage(L"zh-TW"));
    EXPECT_EQ(GetText(L"IDInstallBtn"), L"立即安裝");
    EXPECT_EQ(GetText(L"IDBackBtn"), L"<返回");
    EXPECT_EQ(GetText(L"IDProductName"), L"Vantrel壓縮軟體");
    EXPECT_EQ(InstallTexts::Text(L"IDFailInstPack"), L"安裝包安裝失敗");
    // Ids zh-TW lacks show the Default layer.
    EXPECT_EQ(GetText(L"IDLangText"), L"English");
    EXPECT_EQ(GetText(L"IDMsgText"), L"hello world");
    EXPECT_EQ(Toolkit::CurrentLanguage(), L"zh-TW");

    ASSERT_TRUE(Skin::SwitchSkinLanguage(L"en-US"));
    const auto english = FolderTexts(L"en-US");
    ASSERT_GT(english.size(), 30u);
    for (const auto& [id, value] : english) EXPECT_EQ(GetText(id), value) << Utils::ToUtf8(id);
}

TEST_F(SkinPackageTest, SharedFontsFollowTheLayers) {
    const Toolkit::ResourceSet& shared = Toolkit::SharedResources();
    ASSERT_NE(shared.FindFont(5), nullptr);
    EXPECT_EQ(shared.FindFont(5)->size, 30);
    EXPECT_TRUE(shared.FindFont(5)->bold);
    ASSERT_TRUE(Skin::SwitchSkinLanguage(L"zh-TW"));
    EXPECT_EQ(shared.FindFont(5)->size, 39);
    EXPECT_EQ(shared.FindFont(4)->size, 22);
    // zh-TW has no font 0: the Default one stays the window default.
    ASSERT_NE(shared.DefaultFont(), nullptr);
    EXPECT_EQ(shared.DefaultFont()->size, 14);
    EXPECT_NE(shared.FindStyle(L"lan"), nullptr);
    ASSERT_NE(shared.FindImageAlias(L"IDLangRes"), nullptr);
    EXPECT_TRUE(SkinResources::Instance().Exists(*shared.FindImageAlias(L"IDLangRes")));
}

TEST_F(SkinPackageTest, MissingLanguageFolderKeepsTheDefaultTexts) {
    EXPECT_FALSE(Skin::SwitchSkinLanguage(L"ja-JP"));
    EXPECT_EQ(GetText(L"IDBackBtn"), L" Back");
    EXPECT_EQ(GetText(L"IDCustomeBtn"), L"Custom Installation");
    EXPECT_EQ(GetText(L"IDProductName"), L"Quorvex Setup");
    EXPECT_EQ(GetText(L"IDInstallBtn"), L"Install");
}

TEST_F(SkinPackageTest, ResourceListsGivenAsText) {
    EXPECT_FALSE(Skin::LoadResourceList(L"<ResourceList><Resource type='text'"));
    EXPECT_FALSE(Skin::LoadResourceList(L"lang\\nowhere\\index.xml"));
    EXPECT_FALSE(Skin::LoadResourceList(L"<!-- nothing -->"));
    // Inline lists have no folder: sources are taken from the package root. Entries without
    // type or source, unknown types, plug-ins and dlls load nothing; the last "type" counts.
    EXPECT_TRUE(Skin::LoadResourceList(
        L"<ResourceList>"
        L"<Resource source='lang/zh-TW/texts.xml'/>"
        L"<Resource type='text'/>"
        L"<Resource type='sound' source='lang/zh-TW/texts.xml'/>"
        L"<Resource type='plugin' source='controls.so'/>"
        L"<Resource type='DLL' source='a.dll'/>"
        L"<resource/>"
        L"</ResourceList>"));
    EXPECT_EQ(GetText(L"IDInstallBtn"), L"Install");
    EXPECT_TRUE(Skin::LoadResourceList(
        L"<ResourceList><RESOURCE Type='font' TYPE='TEXT' Source='lang/zh-TW/texts.xml'/></ResourceList>"));
    EXPECT_EQ(GetText(L"IDInstallBtn"), L"立即安裝");
}

TEST_F(SkinPackageTest, TextFilesTakeEntriesWithBothAttributesOnly) {
    testsupport::TempDir dir;
    WriteFile(dir.path() / "lang/Default/index.xml",
              " <?xml version='1.0' encoding='utf-8'?>\n<ResourceList><Resource type='tres' source='t.xml'/></ResourceList>");
    WriteFile(dir.path() / "lang/Default/t.xml",
              "\n <?xml version='1.0'?><Anything><Text id='IDa' value='first'/><Text id='IDa' value='second'/>"
              "<Text id='IDnoValue'/><Text value='orphan'/><Text id='IDempty' value=''/>"
              "<Text id='IDlt' value='<Back'/></Anything>");
    testsupport::ScopedEnv env("QV_SKIN_DIR", dir.path().string());
    Skin::OpenSkinPackage();
    EXPECT_EQ(GetText(L"IDa"), L"second");
    EXPECT_EQ(GetText(L"IDnoValue"), L"IDnoValue");
    EXPECT_TRUE(Skin::TextTable::Instance().Contains(L"IDempty"));
    EXPECT_EQ(GetText(L"IDempty"), L"");
    EXPECT_EQ(GetText(L"IDlt"), L"<Back");
}

TEST_F(SkinPackageTest, SkinFolderFromTheEnvironmentReplacesTheBuiltInPackage) {
    testsupport::TempDir dir;
    WriteFile(dir.path() / "lang/en-US/index.xml",
              "<ResourceList><Resource type='text' source='texts.xml'/></ResourceList>");
    WriteFile(dir.path() / "lang/en-US/texts.xml", "<Res><Text id='IDInstallBtn' value='Go'/></Res>");
    {
        testsupport::ScopedEnv env("QV_SKIN_DIR", dir.path().string());
        Skin::OpenSkinPackage();
        EXPECT_EQ(GetText(L"IDInstallBtn"), L"Go");
        EXPECT_FALSE(SkinResources::Instance().Exists(L"MainWnd.xml"));
    }
    Skin::OpenSkinPackage();
    EXPECT_EQ(GetText(L"IDInstallBtn"), L"Install");
    EXPECT_TRUE(SkinResources::Instance().Exists(L"MainWnd.xml"));
}

TEST_F(SkinPackageTest, ProductIconIsLinkedAtTwoScales) {
    const auto images = Skin::ProductIconImages();
    ASSERT_EQ(images.size(), 2u);
    for (const auto& png : images) {
        ASSERT_GT(png.size(), 24u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(png.data()) + 1, 3), "PNG");
    }
    auto width = [](std::span<const std::uint8_t> png) {
        return (png[16] << 24) | (png[17] << 16) | (png[18] << 8) | png[19];
    };
    EXPECT_EQ(width(images[1]), 2 * width(images[0]));
    const auto copies = Skin::ProductIconPngFiles();
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_TRUE(std::equal(copies[1].begin(), copies[1].end(), images[1].begin(), images[1].end()));
}

// The lookup serves exactly the package and the icon's two scales, whatever holds them (a data
// table or the module's resources); near-miss names find nothing.
TEST_F(SkinPackageTest, EmbeddedLookupServesOnlyTheLinkedNames) {
    EXPECT_EQ(Skin::EmbeddedResourceCount(), 3u);
    EXPECT_FALSE(Skin::FindEmbeddedResource("icon", "145").empty());
    EXPECT_FALSE(Skin::FindEmbeddedResource("ICON", "145@2X").empty());
    for (const char* name : {"145@3x", "@2x", "146", "0145x", "", "99999999"})
        EXPECT_TRUE(Skin::FindEmbeddedResource("ICON", name).empty()) << name;
    EXPECT_TRUE(Skin::FindEmbeddedResource("ZIPRES", "").empty());
    EXPECT_TRUE(Skin::FindEmbeddedResource("", "IDR_SKIN").empty());
    EXPECT_TRUE(Skin::FindEmbeddedResource("ZIPRE", "IDR_SKIN").empty());
}

}  // namespace
