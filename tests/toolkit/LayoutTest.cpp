// Box and tab layouts, built from layout text as window code sees them.
#include <cairo.h>
#include <gtest/gtest.h>

#include "TreeHelpers.h"
#include "toolkit/BoxLayout.h"
#include "toolkit/CairoPtr.h"
#include "toolkit/TabLayout.h"

using namespace Toolkit;

TEST(BoxLayout_Vertical, FlexibleSharesAndTheLastTakesTheRest) {
    Tree t(R"(<Window size="100,400"><VerticalLayout>
        <Control name="a" height="45"/><Control name="f1"/><Control name="f2"/>
        <Control name="b" height="60"/><Control name="f3"/></VerticalLayout></Window>)");
    EXPECT_EQ(t.Pos("a"), (Rect{0, 0, 100, 45}));
    EXPECT_EQ(t.Pos("f1").Height(), 98);
    EXPECT_EQ(t.Pos("f2").Height(), 98);
    EXPECT_EQ(t.Pos("b"), (Rect{0, 241, 100, 301}));
    EXPECT_EQ(t.Pos("f3"), (Rect{0, 301, 100, 400}));
}

TEST(BoxLayout_Horizontal, SpacersCentreAFixedControl) {
    Tree t(R"(<Window size="480,50"><HorizontalLayout>
        <Control/><Button name="btn" width="200"/><Control/></HorizontalLayout></Window>)");
    EXPECT_EQ(t.Pos("btn"), (Rect{140, 0, 340, 50}));
}

TEST(BoxLayout_Both, SameRulesWithAxesExchanged) {
    Tree v(R"(<Window size="60,300"><VerticalLayout inset="5,10,5,10" childpadding="4">
        <Control name="a" height="50" padding="2,3,4,5"/><Control name="f"/><Control name="b" height="20" width="30"/>
        </VerticalLayout></Window>)");
    Tree h(R"(<Window size="300,60"><HorizontalLayout inset="10,5,10,5" childpadding="4">
        <Control name="a" width="50" padding="3,2,5,4"/><Control name="f"/><Control name="b" width="20" height="30"/>
        </HorizontalLayout></Window>)");
    auto swap = [](const Rect& r) { return Rect{r.top, r.left, r.bottom, r.right}; };
    for (const char* n : {"a", "f", "b"}) EXPECT_EQ(swap(v.Pos(n)), h.Pos(n)) << n;
    EXPECT_EQ(v.Pos("a"), (Rect{7, 13, 51, 63}));
    EXPECT_EQ(v.Pos("b"), (Rect{5, 270, 35, 290}));
    EXPECT_EQ(v.Pos("f"), (Rect{5, 72, 55, 266}));
}

TEST(BoxLayout_Padding, AFlexibleChildKeepsItsTrailingPadding) {
    // The last flexible child gets what is left less its own bottom (right) padding, and the
    // fixed child after it starts below that padding.
    Tree v(R"(<Window size="100,300"><VerticalLayout><Control name="a" height="50"/>
        <Control name="f" padding="0,0,0,20"/><Control name="b" height="30"/></VerticalLayout></Window>)");
    EXPECT_EQ(v.Pos("f"), (Rect{0, 50, 100, 250}));
    EXPECT_EQ(v.Pos("b"), (Rect{0, 270, 100, 300}));
    Tree h(R"(<Window size="300,100"><HorizontalLayout><Control name="a" width="50"/>
        <Control name="f" padding="0,0,20,0"/><Control name="b" width="30"/></HorizontalLayout></Window>)");
    EXPECT_EQ(h.Pos("f"), (Rect{50, 0, 250, 100}));
    EXPECT_EQ(h.Pos("b"), (Rect{270, 0, 300, 100}));
}

TEST(BoxLayout_Limits, MinAndMaxBoundSharesAndFixedSizes) {
    Tree t(R"(<Window size="100,300"><VerticalLayout>
        <Control name="fixed" height="500" maxheight="40"/><Control name="small" maxheight="30"/>
        <Control name="last" minheight="10"/></VerticalLayout></Window>)");
    EXPECT_EQ(t.Pos("fixed").Height(), 40);
    EXPECT_EQ(t.Pos("small").Height(), 30);
    EXPECT_EQ(t.Pos("last"), (Rect{0, 70, 100, 300}));
}

TEST(BoxLayout_NoFlexible, ChildAlignMovesTheGroup) {
    Tree t(R"(<Window size="100,100"><VerticalLayout childvalign="vcenter" childalign="center">
        <Control name="a" height="20" width="40"/></VerticalLayout></Window>)");
    EXPECT_EQ(t.Pos("a"), (Rect{30, 40, 70, 60}));
    // The two names are compared exactly: another spelling is a custom attribute.
    Tree u(R"(<Window size="100,100"><VerticalLayout ChildVAlign="vcenter">
        <Control name="a" height="20"/></VerticalLayout></Window>)");
    EXPECT_EQ(u.Pos("a").top, 0);
}

TEST(BoxLayout_Visibility, HiddenChildTakesNoSpaceAndShowingRelaysOut) {
    Tree t(R"(<Window size="300,40"><HorizontalLayout>
        <Control name="a" width="100"/><Control name="hidden" width="50" visible="false"/><Control name="rest"/>
        </HorizontalLayout></Window>)");
    EXPECT_EQ(t.Pos("rest"), (Rect{100, 0, 300, 40}));
    t.Find("hidden")->SetVisible(true);
    EXPECT_TRUE(t.manager.IsUpdateNeeded());
    t.manager.UpdateLayout();
    EXPECT_EQ(t.Pos("hidden"), (Rect{100, 0, 150, 40}));
    EXPECT_EQ(t.Pos("rest"), (Rect{150, 0, 300, 40}));
}

TEST(BoxLayout_Float, FloatChildSitsAtItsPosOutsideTheFlow) {
    Tree t(R"(<Window size="200,100"><VerticalLayout padding="0,0,0,0">
        <Control name="f" float="true" pos="10,20,60,40"/><Control name="flow"/></VerticalLayout></Window>)");
    EXPECT_EQ(t.Pos("f"), (Rect{10, 20, 60, 40}));
    EXPECT_EQ(t.Pos("flow"), (Rect{0, 0, 200, 100}));
}

TEST(BoxLayout_Limits, AbsurdLengthsLayOutWithoutOverflow) {
    // Found by the layout fuzzer: insets and sizes near the int limit overflowed the sums of
    // the layout (the sanitizer build stops on a signed overflow).
    Tree a(R"(<Window size="100,100"><VerticalLayout><HorizontalLayout/>
        <HorizontalLayout name="h" inset=",2222222222"></HorizontalLayout></VerticalLayout></Window>)");
    EXPECT_GE(a.Pos("h").Height(), 0);
    Tree b(R"(<Window size="100,100"><HorizontalLayout inset="7777777777"><Button name="b" width="7"/>
        <Control width="9999999999"/><Control/></HorizontalLayout></Window>)");
    EXPECT_EQ(b.Pos("b").Width(), 7);
}

TEST(TabLayout_Select, OnePageShownWithTheFullInnerRectangle) {
    Tree t(R"(<Window size="200,100"><TabLayout name="tabs" selectedid="1" inset="2,2,2,2">
        <Control name="p0"/><Control name="p1"/><Control name="p2"/></TabLayout></Window>)");
    auto* tabs = t.As<CTabLayoutUI>("tabs");
    EXPECT_EQ(tabs->GetCurSel(), 1);
    EXPECT_FALSE(t.Find("p0")->IsVisible());
    EXPECT_TRUE(t.Find("p1")->IsVisible());
    EXPECT_EQ(t.Pos("p1"), (Rect{2, 2, 198, 98}));

    ASSERT_TRUE(tabs->SelectItem(2));
    ASSERT_EQ(t.log.size(), 1u);
    EXPECT_EQ(t.log[0], L"tabselect:tabs:2:1");
    t.manager.UpdateLayout();
    EXPECT_EQ(t.Pos("p2"), (Rect{2, 2, 198, 98}));

    t.log.clear();
    EXPECT_TRUE(tabs->SelectItem(2));  // the current page: nothing raised
    EXPECT_FALSE(tabs->SelectItem(3));
    EXPECT_FALSE(tabs->SelectItem(-1));
    EXPECT_TRUE(t.log.empty());
    EXPECT_EQ(tabs->GetCurSel(), 2);
}

TEST(TabLayout_Select, SelectedIdPastThePagesShowsTheFirst) {
    Tree t(R"(<Window size="50,50"><TabLayout name="tabs" selectedid="7"><Control name="p0"/><Control name="p1"/>
        </TabLayout></Window>)");
    EXPECT_EQ(t.As<CTabLayoutUI>("tabs")->GetCurSel(), 0);
    EXPECT_TRUE(t.Find("p0")->IsVisible());
    EXPECT_FALSE(t.Find("p1")->IsVisible());
}

namespace {
struct RecordingHost : IWindowHost {
    std::vector<Rect> asked;
    void InvalidateRect(const Rect& rect) override { asked.push_back(rect); }
};
}  // namespace

// A layout run by a paint moves controls the paint then draws anyway: asking the host for
// those areas again would cost a second frame right after every first one.
TEST(PaintManager_Paint, ALayoutInsideAPaintAsksOnlyForWhatThatPaintLeavesOut) {
    Tree t(R"(<Window size="200,100"><HorizontalLayout>
        <Control name="a" bkcolor="#FFFF0000"/><Control name="b" bkcolor="#FF00FF00"/></HorizontalLayout></Window>)");
    RecordingHost host;
    t.manager.SetHost(&host);
    SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 240, 100));
    cairo_t* cr = cairo_create(surface.get());

    t.manager.SetClientSize({240, 100});
    EXPECT_FALSE(host.asked.empty());  // outside a paint a change still asks for its repaint
    host.asked.clear();
    t.manager.Paint(cr, {0, 0, 240, 100});
    EXPECT_TRUE(host.asked.empty());
    EXPECT_EQ(t.Pos("b").left, 120);

    // A paint clipped to the left part: what moves beyond the clip is still asked for, and
    // only that.
    t.manager.SetClientSize({200, 100});
    host.asked.clear();
    cairo_rectangle(cr, 0, 0, 80, 100);
    cairo_clip(cr);
    t.manager.Paint(cr, {0, 0, 200, 100});
    EXPECT_EQ(t.Pos("b").left, 100);
    ASSERT_FALSE(host.asked.empty());
    for (const Rect& r : host.asked) EXPECT_GE(r.left, 80) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    bool bAsked = false;
    for (const Rect& r : host.asked) bAsked = bAsked || (r.left <= 100 && r.right >= 200);
    EXPECT_TRUE(bAsked);
    cairo_destroy(cr);
    t.manager.SetHost(nullptr);
}
