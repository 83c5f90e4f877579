// What a screen reader hears of the installer's main window: its accessible tree (the objects
// GTK's accessibility bridge hands to AT-SPI) walked in each language the skin offers.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/WindowTestSupport.h"
#include "toolkit/GtkWindowHost_gtk.h"
#include "toolkit/TabLayout.h"
#include "ui/skin/SkinPackage.h"
#include "ui/windows/CMainWnd.h"
#include "ui/windows/CMessageBoxWnd.h"
#include "utils/StringUtils.h"

using namespace Toolkit;
using namespace WindowTest;

namespace {

struct Node {
    int depth;
    std::string role;
    std::string name;
};

void Walk(AtkObject* object, int depth, std::vector<Node>& out) {
    const char* name = atk_object_get_name(object);
    out.push_back({depth, atk_role_get_name(atk_object_get_role(object)), name ? name : ""});
    const int n = atk_object_get_n_accessible_children(object);
    for (int i = 0; i < n; ++i) {
        AtkObject* child = atk_object_ref_accessible_child(object, i);
        if (!child) continue;
        // Every child names its parent and its place: readers walk both ways.
        EXPECT_EQ(atk_object_get_parent(child), object) << out.back().role << " " << out.back().name;
        EXPECT_EQ(atk_object_get_index_in_parent(child), i) << out.back().role << " " << out.back().name;
        Walk(child, depth + 1, out);
        g_object_unref(child);
    }
}

std::string Dump(const std::vector<Node>& nodes) {
    std::string s;
    for (const Node& n : nodes) s += std::string(static_cast<size_t>(n.depth) * 2, ' ') + n.role + "|" + n.name + "\n";
    return s;
}

std::vector<Node> TreeOf(CWindowBase& window) {
    GtkWidget* widget = static_cast<GtkWindowHost*>(window.Native())->Widget();
    std::vector<Node> nodes;
    Walk(gtk_widget_get_accessible(widget), 0, nodes);
    return nodes;
}

// No push button without a name and no nameless filler or panel; returns the buttons' names.
std::vector<std::string> CheckTree(const std::vector<Node>& nodes) {
    std::vector<std::string> buttons;
    for (const Node& n : nodes) {
        if (n.role == "push button") {
            EXPECT_FALSE(n.name.empty()) << "a nameless button in\n" << Dump(nodes);
            buttons.push_back(n.name);
        }
        if (n.role == "filler" || n.role == "panel") {
            EXPECT_FALSE(n.name.empty()) << "a nameless " << n.role << " in\n" << Dump(nodes);
        }
    }
    return buttons;
}

bool Has(const std::vector<std::string>& names, const std::string& name) {
    for (const auto& n : names)
        if (n == name) return true;
    return false;
}

class MainWindowAccess : public ::testing::Test {
protected:
    void Open() {
        window = std::make_unique<CMainWnd>();
        ASSERT_TRUE(window->Create(nullptr, L"Quorvex"));
        window->CenterWindow();
        ASSERT_TRUE(PumpUntil([this] { return Mapped(*window); }));
        Pump(100);
    }
    void TearDown() override {
        if (window && window->IsWindow()) window->SendMessage(WM_CLOSE);
        window.reset();
        Skin::SwitchSkinLanguage(L"en-US");
    }
    void Select(int page) { static_cast<CTabLayoutUI*>(window->FindControl(L"mainTabLt"))->SelectItem(page); }

    std::unique_ptr<CMainWnd> window;
};

TEST_F(MainWindowAccess, EveryButtonIsNamedAndNoEmptyFillerIsListedInEitherLanguage) {
    Open();
    const struct {
        const wchar_t* locale;
        const char* minimise;
        const char* close;
    } languages[] = {{L"en-US", "Minimize", "Close"}, {L"zh-TW", "最小化", "關閉"}};
    for (const auto& language : languages) {
        SCOPED_TRACE(language.close);
        // A switch on the open window: the picture-only buttons follow it like the texts.
        ASSERT_TRUE(Skin::SwitchSkinLanguage(language.locale));
        Pump(100);
        // Each page the window shows in turn: the default, custom, progress and finish pages.
        for (int page = 0; page < 4; ++page) {
            SCOPED_TRACE("page " + std::to_string(page));
            Select(page);
            Pump(50);
            const auto nodes = TreeOf(*window);
            const auto buttons = CheckTree(nodes);
            if (page < 2) {  // the title row's buttons (the progress page hides them) and the logo
                EXPECT_TRUE(Has(buttons, language.minimise)) << Dump(nodes);
                EXPECT_TRUE(Has(buttons, language.close)) << Dump(nodes);
                int images = 0;
                for (const Node& n : nodes) images += n.role == "image";
                EXPECT_GE(images, 1) << Dump(nodes);
            }
        }
        Select(0);
    }
}

TEST(BoxAccess, EveryBoxNamesItsCloseButtonInTheLanguageInUse) {
    for (const wchar_t* locale : {L"en-US", L"zh-TW"}) {
        ASSERT_TRUE(Skin::SwitchSkinLanguage(locale));
        const std::string close = locale == std::wstring(L"en-US") ? "Close" : "關閉";
        for (const wchar_t* layout : {kNoticeLayout, kCentredNoticeLayout, kExitTipLayout, kInstalledTipLayout,
                                      kNetworkTipLayout}) {
            SCOPED_TRACE(Utils::ToUtf8(std::wstring(locale) + L" " + layout));
            CMessageBoxWnd box(SkinWindowSpec::ForLayout(layout));
            ASSERT_TRUE(box.Create(nullptr, L"Box"));
            box.SetTexts(L"Some text", L"Caption");
            const auto nodes = TreeOf(box);
            EXPECT_TRUE(Has(CheckTree(nodes), close)) << Dump(nodes);
            box.SendMessage(WM_CLOSE);
            Pump(50);
        }
    }
    Skin::SwitchSkinLanguage(L"en-US");
}

}  // namespace
