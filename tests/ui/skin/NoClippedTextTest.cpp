// No clipped text: in every window, in both languages and on every page, each text the skin
// shows fits inside its control's box less the text padding, and the box lies inside the
// window. The main window's fitted controls are measured after the fitting it applies.
#include <gtest/gtest.h>

#include "../../support/ScopedEnv.h"
#include "BuiltWindow.h"
#include "install/DownloadRateText.h"
#include "toolkit/Label.h"
#include "ui/skin/SkinPackage.h"
#include "ui/skin/TextTable.h"

using namespace Toolkit;

namespace {

class NoClippedTextTest : public ::testing::TestWithParam<const wchar_t*> {
protected:
    void SetUp() override {
        testsupport::ScopedEnv::Set("QV_SKIN_DIR", nullptr);
        Skin::OpenSkinPackage();
        ASSERT_TRUE(Skin::SwitchSkinLanguage(GetParam()));
    }
};

std::string Where(const std::wstring& layout, const CControlUI* c, const std::wstring& extra = L"") {
    return Utils::ToUtf8(layout + L" " + c->GetName() + L" \"" + c->GetDisplayText() + L"\" " + extra);
}

void ExpectFits(const std::wstring& layout, CPaintManagerUI& manager, CLabelUI* label, const std::wstring& page) {
    const Rect pos = label->GetPos();
    const Rect box = pos.Deflate(label->GetTextPadding());
    const bool wraps = label->GetTextStyle().wordWrap;
    const Size need = label->MeasureText(wraps ? box.Width() : 0);
    const std::string where = Where(layout, label, page);
    EXPECT_LE(need.cx, box.Width()) << where;
    EXPECT_LE(need.cy, box.Height()) << where;
    const Size client = manager.GetClientSize();
    EXPECT_GE(pos.left, 0) << where;
    EXPECT_GE(pos.top, 0) << where;
    EXPECT_LE(pos.right, client.cx) << where;
    EXPECT_LE(pos.bottom, client.cy) << where;
}

// Checks every visible text control of the window as it is laid out now; returns how many.
int CheckVisibleTexts(const std::wstring& layout, CPaintManagerUI& manager, const std::wstring& page) {
    int checked = 0;
    manager.GetRoot()->FindFirst([&](CControlUI* c) {
        auto* label = dynamic_cast<CLabelUI*>(c);
        if (label && c->IsReallyVisible() && !c->GetDisplayText().empty() && c->GetClass() != L"Combo") {
            ExpectFits(layout, manager, label, page);
            ++checked;
        }
        return false;
    });
    return checked;
}

TEST_P(NoClippedTextTest, MainWindowEveryPage) {
    BuiltWindow w(L"MainWnd.xml");
    ASSERT_TRUE(w.Ok());
    int checked = 0;
    for (int page = 0; page < 4; ++page) {
        w.Select(L"mainTabLt", page);
        w.Select(L"titleTabLt", page == 1 ? 1 : 0);
        checked += CheckVisibleTexts(L"MainWnd.xml", w.manager, L"page " + std::to_wstring(page));
    }
    EXPECT_GE(checked, 15);
}

TEST_P(NoClippedTextTest, TipWindows) {
    for (const wchar_t* layout : {L"ExitTipWnd.xml", L"InstalledPathTipWnd.xml", L"NetworkTipWnd.xml"}) {
        BuiltWindow w(layout);
        ASSERT_TRUE(w.Ok());
        EXPECT_EQ(CheckVisibleTexts(layout, w.manager, L""), 4) << Utils::ToUtf8(layout);
    }
}

TEST_P(NoClippedTextTest, NoticesWithEveryTextTheyAreGiven) {
    const struct {
        const wchar_t* layout;
        std::vector<const wchar_t*> texts;
    } uses[] = {
        {L"MessageBox1Wnd.xml", {L"IDMsgSoftRunning"}},
        {L"MessageBox2Wnd.xml", {L"IDInvalidPath", L"IDDiskLow", L"IDNetPoor", L"IDFailInstPack"}},
    };
    for (const auto& use : uses) {
        for (const wchar_t* id : use.texts) {
            BuiltWindow w(use.layout);
            ASSERT_TRUE(w.Ok());
            w.manager.FindControl(L"captionLbl")->SetText(Skin::GetText(L"IDMsgTip"));
            w.manager.FindControl(L"textLbl")->SetText(Skin::GetText(id));
            w.manager.UpdateLayout();
            EXPECT_EQ(CheckVisibleTexts(use.layout, w.manager, id), 2);
        }
    }
}

TEST_P(NoClippedTextTest, DownloadSpeedUnderTheBarWithItsLongestLines) {
    const auto texts = [](const std::wstring& id) { return Skin::GetText(id); };
    // The widest speed with each unit's longest count.
    for (double secondsLeft : {55.0, 59 * 60.0, 99 * 3600.0}) {
        BuiltWindow w(L"MainWnd.xml");
        ASSERT_TRUE(w.Ok());
        w.Select(L"mainTabLt", 2);
        auto* speed = dynamic_cast<CLabelUI*>(w.manager.FindControl(L"speedLb"));
        ASSERT_NE(speed, nullptr);
        const std::wstring line = DownloadRateText::Line(999.9e6, secondsLeft, texts);
        EXPECT_EQ(line.rfind(L"999.9 MB/s ", 0), 0u) << Utils::ToUtf8(line);
        speed->SetText(line);
        w.manager.UpdateLayout();
        ASSERT_TRUE(speed->IsReallyVisible());
        ExpectFits(L"MainWnd.xml", w.manager, speed, L"page 2");
        // The added line pushes nothing else of the page out of its box.
        CheckVisibleTexts(L"MainWnd.xml", w.manager, L"page 2");
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, NoClippedTextTest, ::testing::Values(L"en-US", L"zh-TW"),
                         [](const auto& info) { return std::string(info.param[0] == L'e' ? "English" : "Chinese"); });

}  // namespace
