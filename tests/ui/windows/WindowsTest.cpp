// The installer's windows on a private Xvfb, driven with xdotool: message box answers, the
// main window's close rules, pages and fitted widths.
#include <gtest/gtest.h>

#include "install/InstallFiles.h"
#include "tests/support/TempDir.h"
#include "utils/StringUtils.h"
#include "support/WindowTestSupport.h"
#include "tests/install/TestEnvironment.h"
#include "toolkit/CheckBox.h"
#include "toolkit/Combo.h"
#include "toolkit/Edit.h"
#include "toolkit/Scheduler.h"
#include "toolkit/TabLayout.h"
#include "ui/controls/CSequenceLabelUI.h"
#include "ui/skin/SkinPackage.h"
#include "ui/windows/CMainWnd.h"
#include "ui/windows/CMessageBoxWnd.h"

using namespace Toolkit;
using namespace WindowTest;

namespace {

installtest::ProcessEnvironment g_environment;

class DisplayEnvironment : public ::testing::Environment {
public:
    void SetUp() override { SetUpDisplay(); }
    void TearDown() override { TearDownDisplay(); }
};
const auto* g_display = ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

// Shows a box and lets `drive` act on it once it is on screen.
int ShowAndDrive(CWindowBase* owner, const wchar_t* layout, const std::function<void(CMessageBoxWnd&)>& drive,
                 const wchar_t* text = nullptr, const wchar_t* caption = nullptr) {
    CMessageBoxWnd box(SkinWindowSpec::ForLayout(layout));
    EXPECT_TRUE(box.Create(owner, L"消息框"));
    box.SetTexts(text, caption);
    box.CenterWindow();
    auto ran = When([&box] { return Mapped(box); }, [&box, &drive] { drive(box); });
    box.ShowModal();
    EXPECT_TRUE(*ran);
    return box.Result();
}

TEST(MessageBox, AnswersFollowTheControlThatClosedIt) {
    EXPECT_EQ(ShowAndDrive(nullptr, kExitTipLayout, [](CMessageBoxWnd& b) { Click(b, L"okBtn"); }), 0);
    EXPECT_EQ(ShowAndDrive(nullptr, kExitTipLayout, [](CMessageBoxWnd& b) { Click(b, L"cancelBtn"); }), 1);
    EXPECT_EQ(ShowAndDrive(nullptr, kCentredNoticeLayout, [](CMessageBoxWnd& b) { Click(b, L"closebtn"); }), 2);
    // Alt+F4 and the window manager's close are no click: the initial answer 1 stays.
    EXPECT_EQ(ShowAndDrive(nullptr, kInstalledTipLayout, [](CMessageBoxWnd& b) { PressKeys(b, "alt+F4"); }), 1);
    EXPECT_EQ(ShowAndDrive(nullptr, kNetworkTipLayout, [](CMessageBoxWnd& b) { SendWmDelete(b); }), 1);
}

TEST(MessageBox, EscapeDoesNothing) {
    bool stillOpen = false;
    const int result = ShowAndDrive(nullptr, kExitTipLayout, [&](CMessageBoxWnd& b) {
        PressKeys(b, "Escape");
        Pump(200);
        stillOpen = b.IsWindow();
        Screenshot("box-exit-en");
        Click(b, L"okBtn");
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, 0);
}

TEST(MessageBox, TextsGoToTheirLabelsAndAMissingCaptionIsSkipped) {
    std::wstring shownText, shownCaption;
    ShowAndDrive(
        nullptr, kNoticeLayout,
        [&](CMessageBoxWnd& b) {
            shownText = b.FindControl(L"textLbl")->GetText();
            shownCaption = b.FindControl(L"captionLbl")->GetText();
            Screenshot("notice");
            Click(b, L"closebtn");
        },
        L"The package says hello", L"Message");
    EXPECT_EQ(shownText, L"The package says hello");
    EXPECT_EQ(shownCaption, L"Message");

    // The exit confirmation has neither label: both texts are skipped and the box still works.
    const int result = ShowAndDrive(
        nullptr, kExitTipLayout, [&](CMessageBoxWnd& b) { Click(b, L"closebtn"); }, L"Only a text",
        L"A caption with nowhere to go");
    EXPECT_EQ(result, 2);
}

TEST(MessageBox, NestedBoxesReturnTheirOwnAnswers) {
    int inner = -1;
    const int outer = ShowAndDrive(nullptr, kNetworkTipLayout, [&](CMessageBoxWnd& outerBox) {
        // An event handled inside the outer box's loop opens another box.
        inner = ShowAndDrive(&outerBox, kExitTipLayout, [](CMessageBoxWnd& b) { Click(b, L"okBtn"); });
        Pump(100);
        Click(outerBox, L"cancelBtn");
    });
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(outer, 1);
}

// A box opened by a posted event (an orchestrator event) runs its loop inside the dispatch of
// that event: everything posted meanwhile, its own close request included, must still run.
TEST(PostedWork, RunsInsideANestedLoopStartedByPostedWork) {
    IScheduler& scheduler = DefaultScheduler();
    bool innerRan = false, nestedSawIt = false, outerDone = false;
    scheduler.Post([&] {
        scheduler.Post([&] { innerRan = true; });
        nestedSawIt = PumpUntil([&] { return innerRan; }, 2000);
        outerDone = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return outerDone; }, 4000));
    EXPECT_TRUE(nestedSawIt) << "work posted during a nested loop waited for the outer item";
}

TEST(PostedWork, ABoxOpenedByAPostedEventCanBeAnswered) {
    int result = -1;
    DefaultScheduler().Post([&] {
        auto answered = AnswerBox(L"okBtn");
        result = ShowSkinMessageBox(nullptr, SkinWindowSpec::ForLayout(kNetworkTipLayout), nullptr, nullptr);
    });
    EXPECT_TRUE(PumpUntil([&] { return result != -1; }, 8000));
    EXPECT_EQ(result, 0);
}

// ---- the main window ----

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<CMainWnd>();
        ASSERT_TRUE(window->Create(nullptr, L"Quorvex"));
        window->CenterWindow();
        ASSERT_TRUE(PumpUntil([this] { return Mapped(*window); }));
        Pump(100);
    }
    void TearDown() override {
        if (window && window->IsWindow()) {
            window->FindControl(L"mainTabLt");
            static_cast<CTabLayoutUI*>(window->FindControl(L"mainTabLt"))->SelectItem(0);
            window->SendMessage(WM_CLOSE);
        }
        window.reset();
        Skin::SwitchSkinLanguage(L"en-US");
    }
    void Select(int page) { static_cast<CTabLayoutUI*>(window->FindControl(L"mainTabLt"))->SelectItem(page); }
    int TitlePage() { return static_cast<CTabLayoutUI*>(window->FindControl(L"titleTabLt"))->GetCurSel(); }
    bool Visible(const wchar_t* name) { return window->FindControl(name)->IsVisible(); }

    std::unique_ptr<CMainWnd> window;
};

TEST_F(MainWindow, CloseCommandsCloseAtOnceOutsideTheProgressPage) {
    PressKeys(*window, "Escape");
    Pump(150);
    EXPECT_TRUE(window->IsWindow()) << "Escape closed the window";
    PressKeys(*window, "alt+F4");
    EXPECT_TRUE(PumpUntil([this] { return !window->IsWindow(); })) << "Alt+F4 on page 0 did not close";
}

TEST_F(MainWindow, NothingClosesTheProgressPageButTheCloseButtonIsHidden) {
    Select(2);
    Pump(100);
    EXPECT_FALSE(Visible(L"titleGrpCtn"));
    PressKeys(*window, "alt+F4");
    SendWmDelete(*window);
    window->Close(1);
    Pump(300);
    Screenshot("progress-page-en");
    EXPECT_TRUE(window->IsWindow());
    Select(3);
    Pump(50);
    SendWmDelete(*window);
    EXPECT_TRUE(PumpUntil([this] { return !window->IsWindow(); })) << "the finish page did not close";
}

TEST_F(MainWindow, CloseButtonAsksAndOnlyYesCloses) {
    // The confirmation runs its own loop inside the click.
    auto no = AnswerBox(L"cancelBtn", [](CWindowBase&) { Screenshot("box-exit-confirmation-en"); });
    Click(*window, L"closebtn");
    ASSERT_TRUE(PumpUntil([&] { return *no; }));
    Pump(300);
    EXPECT_TRUE(window->IsWindow()) << "No closed the installer";

    auto yes = AnswerBox(L"okBtn");
    Click(*window, L"closebtn");
    ASSERT_TRUE(PumpUntil([&] { return *yes; }));
    EXPECT_TRUE(PumpUntil([this] { return !window->IsWindow(); })) << "Yes did not close the installer";
}

TEST_F(MainWindow, PagesSwitchTheTitleRow) {
    EXPECT_EQ(TitlePage(), 0) << "the title row starts on its empty page";
    Click(*window, L"customeBtn");
    ASSERT_TRUE(PumpUntil([this] { return window->CurrentPage() == 1; }));
    EXPECT_EQ(TitlePage(), 1);
    EXPECT_TRUE(Visible(L"backBtn"));
    Screenshot("custom-page-en");
    Click(*window, L"backBtn");
    ASSERT_TRUE(PumpUntil([this] { return window->CurrentPage() == 0; }));
    EXPECT_FALSE(Visible(L"backBtn"));
    Select(3);
    EXPECT_EQ(TitlePage(), 2);
    EXPECT_TRUE(Visible(L"titleGrpCtn"));
}

TEST_F(MainWindow, TheProgressAnimationRunsOnlyOnItsPage) {
    auto* animation = dynamic_cast<Controls::CSequenceLabelUI*>(window->FindControl(L"progressAnLb"));
    ASSERT_NE(animation, nullptr);
    Select(2);
    EXPECT_TRUE(animation->IsRunning());
    // A failed download goes back to the page the install started from.
    Select(0);
    EXPECT_FALSE(animation->IsRunning());
    Select(2);
    EXPECT_TRUE(animation->IsRunning());
    Select(1);
    EXPECT_FALSE(animation->IsRunning());
}

TEST_F(MainWindow, TextWidthsFollowTheLanguage) {
    auto width = [this](const wchar_t* name) { return window->FindControl(name)->GetFixedWidth(); };
    const int lang = width(L"langLbl"), dir = width(L"installDirLbl"), desktop = width(L"createDSCb");
    EXPECT_GT(lang, 0);
    // A check box gets room for its box beside the measured text.
    auto* checkBox = static_cast<CCheckBoxUI*>(window->FindControl(L"createDSCb"));
    EXPECT_EQ(desktop, checkBox->MeasureText().cx + 22);

    static_cast<CComboUI*>(window->FindControl(L"langCombo"))->SelectItem(1);  // 繁體中文
    Pump(100);
    EXPECT_NE(width(L"langLbl"), lang);
    EXPECT_NE(width(L"installDirLbl"), dir);
    EXPECT_EQ(width(L"createDSCb"), checkBox->MeasureText().cx + 22);
    EXPECT_NE(width(L"createDSCb"), desktop) << "the check box kept its English width";
    Select(1);
    Pump(100);
    Screenshot("custom-page-zh");
}

TEST_F(MainWindow, CustomFolderKeepsTheProposalAndAppendsTheProductElsewhere) {
    auto* edit = static_cast<CEditUI*>(window->FindControl(L"installDirEdit"));
    const std::wstring proposed = window->DefaultInstallFolder();
    EXPECT_EQ(edit->GetText(), proposed);
    EXPECT_EQ(window->CustomInstallFolder(), proposed);
    edit->SetText(proposed + L"/");
    EXPECT_EQ(window->CustomInstallFolder(), proposed) << "the same folder written with a trailing separator";
    edit->SetText(L"/srv/apps");
    EXPECT_EQ(window->CustomInstallFolder(), L"/srv/apps/Pelmora");
}

TEST_F(MainWindow, FolderDialogFillsTheFieldAndCancelLeavesIt) {
    Select(1);
    Pump(100);
    auto* edit = static_cast<CEditUI*>(window->FindControl(L"installDirEdit"));
    const std::wstring before = edit->GetText();
    testsupport::TempDir chosen;
    // The desktop's chooser runs its own loop inside the click: answer it from a timer.
    AnswerFolderChooser("", false);
    Click(*window, L"chDirBtn");
    ASSERT_TRUE(PumpUntil([] { return !FolderChooserOpen(); }, 8000));
    Pump(200);
    EXPECT_EQ(edit->GetText(), before) << "a cancelled chooser changed the field";

    AnswerFolderChooser(chosen.path().string(), true);
    Click(*window, L"chDirBtn");
    ASSERT_TRUE(PumpUntil([&] { return edit->GetText() == Utils::FromUtf8(chosen.path().string()); }, 8000))
        << Utils::ToUtf8(edit->GetText());
    EXPECT_EQ(window->CustomInstallFolder(), Utils::FromUtf8((chosen.path() / "Pelmora").string()));
}

}  // namespace
