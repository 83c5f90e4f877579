// The frame-sequence controls through the toolkit's clock: stepping rules, the shipped
// animations of the main window, restarts, attribute parsing, frame naming, and what one step
// costs (one rectangle invalidated, each frame decoded once).
#include <gtest/gtest.h>

#include <cairo.h>

#include <string>
#include <vector>

#include "../../support/ScopedEnv.h"
#include "../skin/BuiltWindow.h"
#include "toolkit/ImageCache.h"
#include "ui/controls/CSequenceButtonUI.h"
#include "ui/controls/CSequenceLabelUI.h"
#include "ui/skin/SkinPackage.h"

using namespace Toolkit;
using Controls::CSequenceButtonUI;
using Controls::CSequenceLabelUI;
using Controls::SequenceState;

namespace {

// A window-less window holding one animation control, with invalidations recorded.
struct Harness : IWindowHost {
    explicit Harness(const std::string& element) {
        manager.SetScheduler(&clock);
        manager.SetHost(this);
        const std::string xml = "<Window size='300,300'><VerticalLayout><Control height='10'/>" + element +
                                "</VerticalLayout></Window>";
        BuildResult built = CLayoutBuilder::BuildFromText(xml, &manager, &factory);
        EXPECT_TRUE(built.ok) << built.error.Format("layout");
        manager.AttachRoot(std::move(built.root));
        manager.SetClientSize({300, 300});
        manager.UpdateLayout();
        control = manager.FindControl(L"anim");
    }
    ~Harness() override { manager.SetHost(nullptr); }
    void InvalidateRect(const Rect& rect) override { invalidated.push_back(rect); }
    // The frame number shown now, or -1 for none.
    int Frame() const {
        const std::wstring& image = control->GetBkImage();
        if (image.empty()) return -1;
        return std::stoi(image.substr(image.find(L'/') + 1));
    }
    // Frames shown over `ticks` periods.
    std::vector<int> Run(int ticks, unsigned period) {
        std::vector<int> shown;
        for (int i = 0; i < ticks; ++i) {
            const std::wstring before = control->GetBkImage();
            clock.Advance(period);
            if (control->GetBkImage() != before || shown.empty() || !manager.HasTimer(control, 2100))
                shown.push_back(Frame());
        }
        return shown;
    }
    ManualScheduler clock;
    SequenceFactory factory;
    CPaintManagerUI manager;
    CControlUI* control = nullptr;
    std::vector<Rect> invalidated;
};

std::string Label(const std::string& attrs) {
    return "<SequenceLabel name='anim' width='40' height='40' sequencebkimage='f/%d' sequencecount='4' " + attrs + "/>";
}

// Frames shown in `ticks` periods after Start(); stops early when the timer ends.
std::vector<int> Sequence(const std::string& attrs, int ticks) {
    Harness h(Label(attrs));
    auto* label = dynamic_cast<CSequenceLabelUI*>(h.control);
    label->Start();
    std::vector<int> shown;
    for (int i = 0; i < ticks && label->IsRunning(); ++i) {
        h.clock.Advance(30);
        if (label->IsRunning()) shown.push_back(h.Frame());
    }
    return shown;
}

TEST(SequenceTest, LoopAndRoundSequencesOfFourFrames) {
    EXPECT_EQ(Sequence("", 10), (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3, 0, 1}));
    EXPECT_EQ(Sequence("sequenceloop='false'", 10), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(Sequence("sequenceround='true'", 13), (std::vector<int>{0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0}));
    EXPECT_EQ(Sequence("sequenceround='true' sequenceloop='false'", 13), (std::vector<int>{0, 1, 2, 3, 2, 1}));
    // The frame shown when a sequence stops stays on screen.
    Harness h(Label("sequenceround='true' sequenceloop='false'"));
    dynamic_cast<CSequenceLabelUI*>(h.control)->Start();
    h.clock.Advance(30 * 20);
    EXPECT_EQ(h.Frame(), 1);
    EXPECT_FALSE(h.manager.HasTimer(h.control, 2100));
}

TEST(SequenceTest, RoundWithTwoFramesAndShortCounts) {
    EXPECT_EQ(Sequence("sequencecount='2' sequenceround='true'", 6), (std::vector<int>{0, 1, 0, 1, 0, 1}));
    // One frame or none: no index that wrapped below zero, the sequence just repeats.
    EXPECT_EQ(Sequence("sequencecount='1' sequenceround='true'", 3), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Sequence("sequencecount='0' sequenceround='true'", 3), (std::vector<int>{0, 1, 2}));
}

TEST(SequenceTest, OnlyExactFalseTurnsASwitchOff) {
    EXPECT_EQ(Sequence("sequenceloop='False'", 6), (std::vector<int>{0, 1, 2, 3, 0, 1}));
    EXPECT_EQ(Sequence("SequenceLoop='false'", 6), (std::vector<int>{0, 1, 2, 3}));
    SequenceState s;
    EXPECT_TRUE(s.SetAttribute(L"SEQUENCECOUNT", L"  +12px"));
    EXPECT_EQ(s.count, 12u);
    EXPECT_TRUE(s.SetAttribute(L"sequenceSpan", L"45"));
    EXPECT_EQ(s.periodMs, 45u);
    EXPECT_TRUE(s.SetAttribute(L"autostart", L"yes"));
    EXPECT_TRUE(s.autostart);
    // The pattern's name is compared exactly.
    EXPECT_FALSE(s.SetAttribute(L"SequenceBkImage", L"x%d"));
    EXPECT_TRUE(s.pattern.empty());
}

TEST(SequenceTest, ProgressAnimationOfTheMainWindow) {
    testsupport::ScopedEnv::Set("QV_SKIN_DIR", nullptr);
    Skin::OpenSkinPackage();
    BuiltWindow w(L"MainWnd.xml");
    ASSERT_TRUE(w.Ok());
    auto* anim = dynamic_cast<CSequenceLabelUI*>(w.manager.FindControl(L"progressAnLb"));
    ASSERT_NE(anim, nullptr);
    EXPECT_FALSE(anim->IsRunning());
    anim->Start();
    w.clock.Advance(29);
    EXPECT_EQ(anim->GetBkImage(), L"");
    w.clock.Advance(1);
    EXPECT_EQ(anim->GetBkImage(), L"res\\mainWnd\\progressAnimate\\000.png");
    w.clock.Advance(94 * 30);
    EXPECT_EQ(anim->GetBkImage(), L"res\\mainWnd\\progressAnimate\\094.png");
    w.clock.Advance(30);
    EXPECT_EQ(anim->GetBkImage(), L"res\\mainWnd\\progressAnimate\\000.png");
    EXPECT_TRUE(anim->IsRunning());

    // A restart while running begins again at frame 0, one period later.
    w.clock.Advance(30 * 10);
    anim->Start();
    w.clock.Advance(30);
    EXPECT_EQ(anim->GetBkImage(), L"res\\mainWnd\\progressAnimate\\000.png");
    anim->Stop();
    w.clock.Advance(300);
    EXPECT_EQ(anim->GetBkImage(), L"res\\mainWnd\\progressAnimate\\000.png");

    auto* tick = dynamic_cast<CSequenceLabelUI*>(w.manager.FindControl(L"finishedLbl"));
    ASSERT_NE(tick, nullptr);
    tick->Start();
    w.clock.Advance(30 * 34);
    EXPECT_EQ(tick->GetBkImage(), L"res\\mainWnd\\finishedAnimate\\033.png");
    w.clock.Advance(30 * 50);
    EXPECT_EQ(tick->GetBkImage(), L"res\\mainWnd\\finishedAnimate\\033.png");
    EXPECT_FALSE(tick->IsRunning());
}

TEST(SequenceTest, RestartKeepsTheDirection) {
    Harness h(Label("sequenceround='true'"));
    auto* label = dynamic_cast<CSequenceLabelUI*>(h.control);
    label->Start();
    h.clock.Advance(30 * 5);  // 0 1 2 3 2: now running backwards
    EXPECT_EQ(h.Frame(), 2);
    label->Start();
    h.clock.Advance(30);
    EXPECT_EQ(h.Frame(), 0);
    h.clock.Advance(30);
    EXPECT_EQ(h.Frame(), 1);
}

TEST(SequenceTest, AutostartAndButtonDefaults) {
    Harness h(Label("autostart='true' sequencespan='50'"));
    h.clock.Advance(49);
    EXPECT_EQ(h.Frame(), -1);
    h.clock.Advance(1);
    EXPECT_EQ(h.Frame(), 0);

    Harness b("<SequenceButton name='anim' width='40' height='40' sequencebkimage='f/%d' sequencecount='3' "
              "autostart='true'/>");
    auto* button = dynamic_cast<CSequenceButtonUI*>(b.control);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->GetSequenceSpan(), 60u);
    EXPECT_TRUE(button->State().round);
    std::vector<int> shown;
    for (int i = 0; i < 6; ++i) {
        b.clock.Advance(60);
        shown.push_back(b.Frame());
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 1, 0, 1}));
    // Without a pattern nothing steps and nothing is drawn.
    Harness empty("<SequenceLabel name='anim' width='40' height='40' sequencecount='3' autostart='true'/>");
    empty.clock.Advance(300);
    EXPECT_EQ(empty.Frame(), -1);
}

TEST(SequenceTest, FrameNamesComeOnlyFromOneIntegerConversion) {
    EXPECT_EQ(SequenceState::FrameName(L"res\\a\\%.3d.png", 7), L"res\\a\\007.png");
    EXPECT_EQ(SequenceState::FrameName(L"%03u-%%.png", 42), L"042-%.png");
    EXPECT_EQ(SequenceState::FrameName(L"plain.png", 3), L"plain.png");
    // Anything printf would read beyond one integer names nothing.
    EXPECT_EQ(SequenceState::FrameName(L"%s.png", 1), L"");
    EXPECT_EQ(SequenceState::FrameName(L"%d%d", 1), L"");
    EXPECT_EQ(SequenceState::FrameName(L"%n", 1), L"");
    EXPECT_EQ(SequenceState::FrameName(L"x%", 1), L"");
    EXPECT_EQ(SequenceState::FrameName(L"%.99999999d", 1), L"");
    EXPECT_EQ(SequenceState::FrameName(std::wstring(300, L'a') + L"%d", 1).size(), 259u);
}

TEST(SequenceTest, AStepInvalidatesOnlyTheControl) {
    Harness h(Label(""));
    dynamic_cast<CSequenceLabelUI*>(h.control)->Start();
    h.invalidated.clear();
    h.clock.Advance(30);
    ASSERT_FALSE(h.invalidated.empty());
    for (const Rect& r : h.invalidated) EXPECT_EQ(r, h.control->GetPos());
    EXPECT_FALSE(h.manager.IsUpdateNeeded());
}

TEST(SequenceTest, EachFrameIsDecodedOnce) {
    testsupport::ScopedEnv::Set("QV_SKIN_DIR", nullptr);
    Skin::OpenSkinPackage();
    BuiltWindow w(L"MainWnd.xml");
    ASSERT_TRUE(w.Ok());
    w.Select(L"mainTabLt", 2);
    auto* anim = dynamic_cast<CSequenceLabelUI*>(w.manager.FindControl(L"progressAnLb"));
    ASSERT_NE(anim, nullptr);
    ImageCache::Instance().Clear();
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 600, 400);
    cairo_t* cr = cairo_create(s);
    w.manager.Paint(cr, anim->GetPos());  // the window background, decoded once too
    anim->Start();
    const std::size_t before = ImageCache::Instance().DecodeCount();
    for (int i = 0; i < 2 * 95; ++i) {
        w.clock.Advance(30);
        w.manager.Paint(cr, anim->GetPos());
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    EXPECT_EQ(ImageCache::Instance().DecodeCount() - before, 95u);
}

}  // namespace
