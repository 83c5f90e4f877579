// What UI Automation clients get of the installer's real main window layout (the skin in the
// source tree, its language tables read the way the installer reads them), in each language:
// every button named, and no nameless pane standing for a spacer or a grouping layout.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <map>
#include <string>
#include <vector>

#include "toolkit/Label.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/SkinResources.h"
#include "toolkit/TabLayout.h"
#include "toolkit/Win32Host.h"
#include "toolkit/Win32WindowHost_win32.h"
#include "toolkit/WindowBase.h"
#include "utils/StringUtils.h"

#include "utils/WindowsApi_win32.h"

#include "tests/toolkit/support/Win32WindowTestSupport_win32.h"

#include "toolkit/Win32AccessibleElement_win32.h"
#include "toolkit/Win32AccessibleRoot_win32.h"
#include "toolkit/Win32Accessible_win32.h"

using namespace Toolkit;

namespace {

std::map<std::wstring, std::wstring> g_texts;

std::wstring FromTable(const std::wstring& id) {
    auto it = g_texts.find(id);
    return it == g_texts.end() ? id : it->second;
}

// The language's table over the default one, as a language switch loads them.
void LoadLanguage(const std::string& locale) {
    g_texts.clear();
    for (const std::string& name : {std::string("Default"), locale}) {
        pugi::xml_document doc;
        const std::string path = std::string(QV_SKIN_DIR) + "/lang/" + name + "/texts.xml";
        ASSERT_TRUE(doc.load_file(path.c_str())) << path;
        for (pugi::xml_node n : doc.document_element().children("Text"))
            g_texts[Utils::FromUtf8(n.attribute("id").value())] = Utils::FromUtf8(n.attribute("value").value());
    }
}

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_TRUE(InitWin32Host());
        std::string error;
        ASSERT_TRUE(SkinResources::Instance().OpenFolder(QV_SKIN_DIR, &error)) << error;
        SetTextProvider(&FromTable);
    }
    void TearDown() override {
        SetTextProvider(nullptr);
        CoUninitialize();
    }
};
const auto* g_env = ::testing::AddGlobalTestEnvironment(new Environment);

class MainLayoutWindow : public CWindowBase {
public:
    std::wstring GetWindowClassName() const override { return L"A11yMainLayoutWnd"; }
    std::wstring GetSkinFile() override { return L"mainWnd.xml"; }
    // The installer's own label kind draws a text like any label.
    std::unique_ptr<CControlUI> CreateControl(const std::wstring& name) override {
        return name == L"SequenceLabel" ? std::make_unique<CLabelUI>() : CWindowBase::CreateControl(name);
    }
    Win32WindowHost& Host() { return *static_cast<Win32WindowHost*>(Native()); }
};

struct Element {
    long type;
    std::wstring name;
    std::wstring id;
};

std::wstring StringProperty(IRawElementProviderSimple* e, PROPERTYID id) {
    VARIANT v;
    v.vt = VT_EMPTY;
    EXPECT_EQ(e->GetPropertyValue(id, &v), S_OK);
    std::wstring s = v.vt == VT_BSTR && v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : L"";
    VariantClear(&v);
    return s;
}

long TypeOf(IRawElementProviderSimple* e) {
    VARIANT v;
    v.vt = VT_EMPTY;
    EXPECT_EQ(e->GetPropertyValue(UIA_ControlTypePropertyId, &v), S_OK);
    return v.vt == VT_I4 ? v.lVal : -1;
}

// Depth first below `parent` (whose reference the caller keeps).
void Walk(IRawElementProviderFragment* parent, std::vector<Element>& out) {
    IRawElementProviderFragment* child = nullptr;
    ASSERT_EQ(parent->Navigate(NavigateDirection_FirstChild, &child), S_OK);
    while (child) {
        IRawElementProviderSimple* simple = nullptr;
        ASSERT_EQ(child->QueryInterface(__uuidof(IRawElementProviderSimple), reinterpret_cast<void**>(&simple)), S_OK);
        out.push_back({TypeOf(simple), StringProperty(simple, UIA_NamePropertyId),
                       StringProperty(simple, UIA_AutomationIdPropertyId)});
        simple->Release();
        IRawElementProviderFragment* up = nullptr;
        EXPECT_EQ(child->Navigate(NavigateDirection_Parent, &up), S_OK);
        EXPECT_EQ(up, parent);
        if (up) up->Release();
        Walk(child, out);
        IRawElementProviderFragment* next = nullptr;
        EXPECT_EQ(child->Navigate(NavigateDirection_NextSibling, &next), S_OK);
        child->Release();
        child = next;
    }
}

std::string Dump(const std::vector<Element>& all) {
    std::string s;
    for (const Element& e : all) s += std::to_string(e.type) + "|" + Utils::ToUtf8(e.id) + "|" + Utils::ToUtf8(e.name) + "\n";
    return s;
}

std::vector<Element> TreeOf(Win32Accessibility& a11y) {
    IRawElementProviderSimple* simple = a11y.RootProvider();
    IRawElementProviderFragment* root = nullptr;
    EXPECT_EQ(simple->QueryInterface(__uuidof(IRawElementProviderFragment), reinterpret_cast<void**>(&root)), S_OK);
    simple->Release();
    std::vector<Element> all;
    if (root) {
        Walk(root, all);
        root->Release();
    }
    return all;
}

std::wstring NameOf(const std::vector<Element>& all, const std::wstring& id) {
    for (const Element& e : all)
        if (e.id == id) return e.name;
    return L"(not listed)";
}

TEST(MainLayoutAccess, EveryButtonIsNamedAndNoNamelessPaneIsListedInEitherLanguage) {
    MainLayoutWindow w;
    ASSERT_TRUE(w.Create(nullptr, L"Quorvex"));
    w.PaintManager().UpdateLayout();
    Win32Accessibility a11y(w.Host(), Win32AccessibleApi{});
    auto* pages = static_cast<CTabLayoutUI*>(w.FindControl(L"mainTabLt"));
    ASSERT_NE(pages, nullptr);

    const struct {
        const char* locale;
        const wchar_t* minimise;
        const wchar_t* close;
    } languages[] = {{"en-US", L"Minimize", L"Close"}, {"zh-TW", L"\u6700\u5c0f\u5316", L"\u95dc\u9589"}};
    for (const auto& language : languages) {
        SCOPED_TRACE(language.locale);
        LoadLanguage(language.locale);
        for (int page = 0; page < pages->GetCount(); ++page) {
            SCOPED_TRACE("page " + std::to_string(page));
            pages->SelectItem(page, false);
            w.PaintManager().UpdateLayout();
            const auto all = TreeOf(a11y);
            ASSERT_FALSE(all.empty());
            for (const Element& e : all) {
                if (e.type == UIA_ButtonControlTypeId || e.type == UIA_PaneControlTypeId) {
                    EXPECT_FALSE(e.name.empty()) << "a nameless element " << e.type << " in\n" << Dump(all);
                }
            }
            if (page == 0) {
                EXPECT_EQ(NameOf(all, L"minbtn"), language.minimise) << Dump(all);
                EXPECT_EQ(NameOf(all, L"closebtn"), language.close) << Dump(all);
            }
        }
        pages->SelectItem(0, false);
    }
    a11y.Clear();
    w.Close();
    win32test::PumpUntil([&] { return !w.IsWindow(); }, 2000);
}

}  // namespace
