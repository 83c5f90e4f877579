// Hit testing, mouse states and the default click rules, keyboard focus and filters.
#include <gtest/gtest.h>

#include "TreeHelpers.h"
#include "toolkit/Button.h"
#include "toolkit/Combo.h"

using namespace Toolkit;

namespace {
const char* kInputLayout = R"(<Window size="600,400" caption="0,0,0,35"><VerticalLayout name="root">
  <HorizontalLayout name="title" height="45"><Label name="caption" width="200"/><Control/>
    <Button name="minbtn" width="15" height="15"/><Button name="closebtn" width="15" height="15"/></HorizontalLayout>
  <HorizontalLayout height="40"><Button name="a" width="100"/><Combo name="combo" width="100">
    <ListLabelElement text="x"/><ListLabelElement text="y"/></Combo><Edit name="edit" width="100"/>
    <Button name="hidden" width="50" visible="false"/><Button name="off" width="50" enabled="false"/>
    <CheckBox name="cb" width="100"/><Progress name="prg" width="100"/></HorizontalLayout>
  <Control/></VerticalLayout></Window>)";

struct EscapeFilter : IMessageFilterUI {
    int seen = 0;
    std::intptr_t MessageHandler(std::uint32_t msg, std::uintptr_t w, std::intptr_t, bool& handled) override {
        if (msg == WM_KEYDOWN && w == Key::Escape) {
            ++seen;
            handled = true;
        }
        return 0;
    }
};
}  // namespace

TEST(HitTest_Caption, PassiveControlsDragAndOthersTakeTheMouse) {
    Tree t(kInputLayout);
    EXPECT_EQ(t.manager.HitTestPoint({10, 10}, false), HitTest::Caption);    // label
    EXPECT_EQ(t.manager.HitTestPoint({300, 5}, false), HitTest::Caption);    // flexible gap
    EXPECT_EQ(t.manager.HitTestPoint(t.Centre("minbtn"), false), HitTest::Client);
    EXPECT_EQ(t.manager.HitTestPoint({10, 36}, false), HitTest::Client);     // below the caption
    t.manager.SetCaptionRect({0, 0, 0, -1});                                  // to the bottom
    EXPECT_EQ(t.manager.HitTestPoint({300, 300}, false), HitTest::Caption);
    EXPECT_EQ(t.manager.HitTestPoint(t.Centre("prg"), false), HitTest::Client);
    t.manager.SetCaptionRect({10, 0, 20, 35});
    EXPECT_EQ(t.manager.HitTestPoint({5, 5}, false), HitTest::Client);
    EXPECT_EQ(t.manager.HitTestPoint({585, 5}, false), HitTest::Client);
}

TEST(HitTest_SizeBox, BordersAndCornersUnlessMaximised) {
    Tree t(R"(<Window size="100,100" sizebox="4,4,4,4" caption="0,0,0,20"><Control/></Window>)");
    EXPECT_EQ(t.manager.HitTestPoint({1, 1}, false), HitTest::TopLeft);
    EXPECT_EQ(t.manager.HitTestPoint({50, 1}, false), HitTest::Top);
    EXPECT_EQ(t.manager.HitTestPoint({98, 98}, false), HitTest::BottomRight);
    EXPECT_EQ(t.manager.HitTestPoint({1, 50}, false), HitTest::Left);
    EXPECT_EQ(t.manager.HitTestPoint({50, 10}, false), HitTest::Caption);
    EXPECT_EQ(t.manager.HitTestPoint({1, 1}, true), HitTest::Caption);
}

TEST(Mouse_Button, ClickOnlyWhenReleasedOverThePressedControl) {
    Tree t(kInputLayout);
    auto* a = t.As<CButtonUI>("a");
    const Point in = t.Centre("a");
    t.manager.OnMouseMove(in);
    EXPECT_TRUE(a->GetState() & UISTATE_HOT);
    t.manager.OnButtonDown(in);
    EXPECT_TRUE(a->GetState() & UISTATE_PUSHED);
    t.manager.OnMouseMove({in.x + 500, in.y});
    EXPECT_FALSE(a->GetState() & UISTATE_PUSHED);
    EXPECT_FALSE(a->GetState() & UISTATE_HOT);
    t.manager.OnButtonUp({in.x + 500, in.y});
    EXPECT_TRUE(t.log.empty());
    t.manager.OnButtonDown(in);
    t.manager.OnMouseMove({in.x + 500, in.y});
    t.manager.OnMouseMove(in);  // back over it before the release
    t.manager.OnButtonUp(in);
    EXPECT_EQ(t.log, (std::vector<std::wstring>{L"click:a:0:0"}));
}

TEST(Mouse_Button, DisabledOrHiddenControlsRaiseNothing) {
    Tree t(kInputLayout);
    t.Click("off");
    EXPECT_TRUE(t.log.empty());
    EXPECT_FALSE(t.Find("hidden")->Activate());
    EXPECT_FALSE(t.Find("off")->Activate());
    EXPECT_TRUE(t.log.empty());
}

TEST(Keyboard_Focus, TabCyclesFocusableControlsAndShiftTabGoesBack) {
    Tree t(kInputLayout);
    std::vector<std::wstring> order;
    for (int i = 0; i < 7; ++i) {
        t.manager.OnKeyDown(Key::Tab);
        order.push_back(t.manager.GetFocus()->GetName());
    }
    EXPECT_EQ(order, (std::vector<std::wstring>{L"minbtn", L"closebtn", L"a", L"combo", L"edit", L"cb", L"minbtn"}));
    EXPECT_TRUE(t.manager.IsFocusVisible());
    t.manager.OnKeyDown(Key::Tab, Modifier::Shift);
    EXPECT_EQ(t.manager.GetFocus()->GetName(), L"cb");
    t.manager.OnButtonDown({300, 300});  // the mouse hides the ring again
    EXPECT_FALSE(t.manager.IsFocusVisible());
}

TEST(Keyboard_Activate, EnterOrSpaceActivateTheFocusedControl) {
    Tree t(kInputLayout);
    t.recordFocus = true;
    t.manager.SetFocus(t.Find("a"), true);
    t.manager.OnKeyDown(Key::Return);
    t.manager.SetFocus(t.Find("cb"), true);
    t.manager.OnKeyDown(Key::Space);
    t.manager.SetFocus(t.Find("combo"), true);
    t.manager.OnKeyDown(Key::Down);
    EXPECT_EQ(t.log, (std::vector<std::wstring>{L"setfocus:a:0:0", L"click:a:0:0", L"killfocus:a:0:0",
                                                L"setfocus:cb:0:0", L"click:cb:0:0", L"selectchanged:cb:1:0",
                                                L"killfocus:cb:0:0", L"setfocus:combo:0:0", L"itemselect:combo:0:-1"}));
}

TEST(Keyboard_Escape, GoesToTheMessageFiltersFirst) {
    Tree t(kInputLayout);
    EscapeFilter filter;
    t.manager.AddMessageFilter(&filter);
    t.manager.SetFocus(t.Find("a"), true);
    EXPECT_TRUE(t.manager.OnKeyDown(Key::Escape));
    EXPECT_EQ(filter.seen, 1);
    t.manager.RemoveMessageFilter(&filter);
    EXPECT_FALSE(t.manager.OnKeyDown(Key::Escape));
}

TEST(Keyboard_Focus, HidingTheFocusedSubtreeDropsFocus) {
    Tree t(kInputLayout);
    t.manager.SetFocus(t.Find("closebtn"));
    t.Find("title")->SetVisible(false);
    EXPECT_EQ(t.manager.GetFocus(), nullptr);
}

TEST(Combo_DropUp, ListOpensAboveTheBoxAndFlipsWhenNoRoom) {
    const Rect box{100, 300, 260, 334};
    const Rect work{0, 0, 1280, 800};
    EXPECT_EQ(CComboUI::PlaceDropList(box, {160, 62}, work, true), (Rect{100, 238, 260, 300}));
    EXPECT_EQ(CComboUI::PlaceDropList(box, {160, 62}, work, false), (Rect{100, 334, 260, 396}));
    // No room above: it opens below; no room below: above.
    EXPECT_EQ(CComboUI::PlaceDropList({100, 20, 260, 54}, {160, 62}, work, true).top, 54);
    EXPECT_EQ(CComboUI::PlaceDropList({100, 760, 260, 794}, {160, 62}, work, false).bottom, 760);
    EXPECT_EQ(CComboUI::PlaceDropList({1200, 300, 1360, 334}, {160, 62}, work, false).right, 1280);
}

TEST(Combo_DropList, ItemGeometry) {
    Tree t(kInputLayout);
    auto* combo = t.As<CComboUI>("combo");
    const int h = combo->GetItemHeight();
    EXPECT_EQ(combo->GetDropListSize(), (Size{100, 2 * h + 2}));
    EXPECT_EQ(combo->DropItemAt({5, 1}), 0);
    EXPECT_EQ(combo->DropItemAt({5, 1 + h}), 1);
    EXPECT_EQ(combo->DropItemAt({5, 1 + 2 * h}), -1);
    EXPECT_EQ(combo->DropItemAt({5, 0}), -1);
}
