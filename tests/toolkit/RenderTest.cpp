// Offscreen rendering: colours where the layout puts them, nine-slice corners, masks, fades,
// Chinese text that really draws, window outline and shadow.
#include <cairo.h>
#include <gtest/gtest.h>

#include <vector>

#include "TreeHelpers.h"
#include "support/TestSkin.h"
#include "toolkit/Button.h"
#include "toolkit/ImageCache.h"
#include "toolkit/OffscreenRenderer.h"
#include "toolkit/Progress.h"
#include "toolkit/SkinResources.h"
#include "toolkit/TextRenderer.h"
#include "toolkit/WindowPainter.h"

using namespace Toolkit;

namespace {

class RenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string dir = TestSkin::PrivateFolder("qv_render_skin");
        ASSERT_TRUE(TestSkin::WriteFolder(dir));
        ASSERT_TRUE(SkinResources::Instance().OpenZipCopy(TestSkin::MakeZip(dir)));
        ImageCache::Instance().Clear();
    }
    static void TearDownTestSuite() {
        SkinResources::Instance().Close();
        ImageCache::Instance().Clear();
    }
    void Render(Tree& t, bool shadow = false, double scale = 1) {
        OffscreenOptions o;
        o.withShadow = shadow;
        o.scale = scale;
        owned_ = RenderWindow(t.manager, o, &origin_);
        surface_ = owned_.get();
        ASSERT_NE(surface_, nullptr);
    }
    std::uint32_t Px(int x, int y) {
        cairo_surface_flush(surface_);
        const unsigned char* data = cairo_image_surface_get_data(surface_);
        const int stride = cairo_image_surface_get_stride(surface_);
        return reinterpret_cast<const std::uint32_t*>(data + static_cast<size_t>(y) * stride)[x];
    }
    int CountDark(const Rect& r) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if ((Px(x, y) & 0xFF) < 0x80) ++n;
        return n;
    }
    SurfacePtr owned_;
    cairo_surface_t* surface_ = nullptr;
    Point origin_;
};

const char* kLayout = R"(<Window size="200,200" roundcorner="20,20" showshadow="true" shadowsize="6" shadowdarkness="60" shadowcolor="#FF000000">
  <VerticalLayout bkcolor="#FF102030">
    <Control name="red" height="20" bkcolor="#FFFF0000"/>
    <Control name="nine" height="60" bkimage="file='nine.png' corner='10,10,10,10'"/>
    <HorizontalLayout height="30">
      <Control name="hole" width="60" bkimage="file='nine.png' corner='10,10,10,10' hole='true'"/>
      <Control name="fade" width="30" bkcolor="#FFFFFFFF" bkimage="file='nine.png' source='10,10,20,20' fade='128'"/>
      <Control name="masked" width="20" bkimage="file='masked.png' mask='#FF00FF'"/>
      <Control name="dest" width="40" bkimage="file='nine.png' source='10,10,20,20' dest='10,5,20,15'"/>
      <Control name="tiled" width="50" bkimage="file='nine.png' source='0,0,20,10' xtiled='true'"/>
    </HorizontalLayout>
    <Label name="zh" height="40" text="安裝完成 Installed" font="1" textcolor="#FF000000" bkcolor="#FFFFFFFF"/>
    <HorizontalLayout height="30">
      <Button name="btn" width="100" bkcolor="#FF2196F3" hotbkcolor="#FF1E88E5" pushedbkcolor="#FF00FF00" disabledbkcolor="#FFBCCAE1"/>
      <Progress name="prg" width="100" value="25" bkcolor="#FFE0E0E0" forecolor="#FF0000FF"/>
    </HorizontalLayout>
    <Control/>
  </VerticalLayout>
  <Font id="1" name="微软雅黑" size="16"/>
</Window>)";

}  // namespace

TEST_F(RenderTest, ColoursLandWhereTheLayoutPutsThem) {
    Tree t(kLayout);
    Render(t);
    EXPECT_EQ(Px(100, 10), 0xFFFF0000u);
    EXPECT_EQ(Px(100, 190), 0xFF102030u);
    EXPECT_EQ(Px(0, 0) >> 24, 0u);  // outside the rounded outline
    EXPECT_EQ(Px(199, 199) >> 24, 0u);
    EXPECT_EQ(Px(110, 150), 0xFF0000FFu);  // progress fill: 25 of 100
    EXPECT_EQ(Px(190, 150), 0xFFE0E0E0u);
}

TEST_F(RenderTest, NineSliceKeepsItsCornersAndHoleAndTilingWork) {
    Tree t(kLayout);
    Render(t);
    // 30x30 source stretched to 200x60: corners stay 10x10 and red.
    for (Point p : {Point{1, 21}, Point{9, 29}, Point{190, 21}, Point{198, 78}, Point{5, 75}})
        EXPECT_EQ(Px(p.x, p.y), 0xFFFF0000u) << p.x << "," << p.y;
    EXPECT_EQ(Px(11, 25), 0xFF00FF00u);    // top edge
    EXPECT_EQ(Px(100, 25), 0xFF00FF00u);
    EXPECT_EQ(Px(100, 50), 0xFF0000FFu);   // centre
    EXPECT_EQ(Px(3, 50), 0xFF00FF00u);     // left edge
    EXPECT_EQ(Px(30, 95), 0xFF102030u);    // hole: the centre is not drawn
    EXPECT_EQ(Px(2, 82), 0xFFFF0000u);
    // Tiled: a 20-pixel strip (red then green) repeats across 50 pixels.
    EXPECT_EQ(Px(150 + 5, 85), 0xFFFF0000u);
    EXPECT_EQ(Px(150 + 15, 85), 0xFF00FF00u);
    EXPECT_EQ(Px(150 + 25, 85), 0xFFFF0000u);
}

TEST_F(RenderTest, MaskFadeAndDest) {
    Tree t(kLayout);
    Render(t);
    EXPECT_EQ(Px(91, 81), 0xFF102030u);   // magenta keyed out
    EXPECT_EQ(Px(100, 90), 0xFF000000u);  // the black square stays
    const std::uint32_t faded = Px(75, 95);  // blue at half over white
    EXPECT_NEAR(static_cast<int>(faded & 0xFF), 0xFF, 2);
    EXPECT_NEAR(static_cast<int>((faded >> 16) & 0xFF), 0x7F, 3);
    EXPECT_EQ(Px(110 + 15, 80 + 10), 0xFF0000FFu);  // dest 10,5,20,15 inside "dest"
    EXPECT_EQ(Px(110 + 5, 80 + 10), 0xFF102030u);
}

TEST_F(RenderTest, ChineseTextDrawsGlyphsNotBoxes) {
    Tree t(kLayout);
    Render(t);
    const FontInfo font = t.manager.GetFont(1);
    EXPECT_EQ(font.face, L"微软雅黑");
    EXPECT_EQ(Text::UnknownGlyphs(L"安裝完成 溫馨提示 您確定要退出安裝嗎？", font), 0);
    EXPECT_EQ(Text::UnknownGlyphs(L"\U000F0000", font), 1);  // a private-use character has no glyph
    const Rect zh = t.Pos("zh");
    const int dark = CountDark(zh);
    EXPECT_GT(dark, 200);
    // Wider than four boxes' outlines would be: the first ideograph alone fills many pixels.
    const Size size = Text::Measure(L"安裝完成", font, TextStyle{});
    EXPECT_GT(size.cx, 50);
    EXPECT_LT(size.cx, 80);
}

TEST_F(RenderTest, ButtonStatesChangeTheBackground) {
    Tree t(kLayout);
    auto* btn = t.As<CButtonUI>("btn");
    Render(t);
    EXPECT_EQ(Px(50, 150), 0xFF2196F3u);
    btn->ForceState(UISTATE_HOT);
    Render(t);
    EXPECT_EQ(Px(50, 150), 0xFF1E88E5u);
    btn->ForceState(UISTATE_HOT | UISTATE_PUSHED);
    Render(t);
    EXPECT_EQ(Px(50, 150), 0xFF00FF00u);
    btn->SetEnabled(false);
    Render(t);
    EXPECT_EQ(Px(50, 150), 0xFFBCCAE1u);
}

TEST_F(RenderTest, ShadowFillsTheMarginAndFadesOut) {
    Tree t(kLayout);
    Render(t, true);
    ASSERT_EQ(origin_, (Point{6, 6}));
    EXPECT_EQ(Px(6 + 100, 6 + 10), 0xFFFF0000u);   // the window itself
    EXPECT_GT(Px(6 + 100, 3) >> 24, 0u);           // shadow above the top edge
    EXPECT_GT(Px(6 + 100, 4) >> 24, Px(6 + 100, 1) >> 24);
    EXPECT_EQ(Px(0, 0) >> 24, 0u);                 // beyond its reach
}

// Where the desktop draws no shadow, the window's outline: one device pixel of grey at either
// density, opaque, along the rounded edge, with the controls untouched inside it.
TEST_F(RenderTest, OutlineTracesTheEdgeOnePixelWideAtEitherDensity) {
    for (const double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        Tree t(kLayout);
        const int w = static_cast<int>(200 * scale);
        SurfacePtr target(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, w));
        CairoPtr cr(cairo_create(target.get()));
        cairo_scale(cr.get(), scale, scale);
        WindowFrame frame;
        frame.opaque = true;
        frame.outline = true;
        CWindowPainter().Paint(cr.get(), t.manager, frame, {0, 0, 200, 200});
        surface_ = target.get();
        const std::uint32_t grey = 0xFFC4CCD6u;
        EXPECT_EQ(Px(w / 2, 0), grey);  // over the red strip
        EXPECT_EQ(Px(w / 2, 1), 0xFFFF0000u);
        EXPECT_EQ(Px(0, w / 2), grey);
        const int y = static_cast<int>(184 * scale);  // above the rounded corner
        EXPECT_EQ(Px(w - 1, y), grey);  // over the background
        EXPECT_EQ(Px(w - 2, y), 0xFF102030u);
        EXPECT_EQ(Px(0, 0) >> 24, 0u);  // the corner stays cut away
        surface_ = nullptr;
    }
}

TEST_F(RenderTest, FocusRingIsDrawnOnceTheKeyboardIsUsed) {
    Tree t(kLayout);
    t.manager.SetFocus(t.Find("btn"));
    Render(t);
    EXPECT_EQ(Px(1, 165), 0xFF2196F3u);
    t.manager.SetFocusVisible(true);
    Render(t);
    EXPECT_NE(Px(1, 165), 0xFF2196F3u);
}

TEST_F(RenderTest, HighDensityDrawsTheDoubleSizeImageWhenTheSkinHasOne) {
    Tree t(R"(<Window size="60,20"><HorizontalLayout>
        <Control name="dense" width="20" bkimage="dense.png"/>
        <Control name="nine" width="40" bkimage="file='nine.png' corner='10,10,10,10'"/></HorizontalLayout></Window>)");
    Render(t);
    EXPECT_EQ(Px(5, 5), 0xFF00FF00u);  // 1x: the plain file
    Render(t, false, 2);
    ASSERT_EQ(cairo_image_surface_get_width(surface_), 120);
    // 2x: the columns of "dense@2x.png", one screen pixel each, over the control's 40 pixels.
    for (int x = 0; x < 40; ++x) EXPECT_EQ(Px(x, 10), (x % 2) ? 0xFFFFFFFFu : 0xFF000000u) << x;
    // No "@2x" file: the 1x image scaled, its 10-unit corners now 20 pixels.
    EXPECT_EQ(Px(40 + 2, 2), 0xFFFF0000u);
    EXPECT_EQ(Px(40 + 18, 18), 0xFFFF0000u);
    EXPECT_EQ(Px(40 + 40, 5), 0xFF00FF00u);  // the top edge between them
}

// Where the ink of aligned texts lands: the gaps left and right of the dark pixels inside a
// 300-pixel label, for short and long, wrapped and single-line texts.
struct InkSpan {
    int left = -1, right = -1;  // first and last dark column, -1 when nothing is drawn
};

class TextAlignment : public RenderTest {
protected:
    // The ink span of the whole label, and of each line (rows of ink separated by blank rows).
    InkSpan Ink(const char* attributes, const char* text, std::vector<InkSpan>* lines = nullptr) {
        const std::string xml = std::string(R"(<Window size="300,60"><VerticalLayout bkcolor="#FFFFFFFF">)") +
                                R"(<Label name="l" font="1" textcolor="#FF000000" )" + attributes + " text=\"" + text +
                                R"("/></VerticalLayout><Font id="1" name="DejaVu Sans" size="14"/></Window>)";
        Tree t(xml);
        Render(t);
        InkSpan all;
        InkSpan line;
        for (int y = 0; y <= 60; ++y) {
            InkSpan row;
            for (int x = 0; y < 60 && x < 300; ++x) {
                if ((Px(x, y) & 0xFF) < 0x80) {
                    if (row.left < 0) row.left = x;
                    row.right = x;
                }
            }
            if (row.left >= 0) {
                line.left = line.left < 0 ? row.left : std::min(line.left, row.left);
                line.right = std::max(line.right, row.right);
            } else if (line.left >= 0) {
                if (lines) lines->push_back(line);
                all.left = all.left < 0 ? line.left : std::min(all.left, line.left);
                all.right = std::max(all.right, line.right);
                line = {};
            }
        }
        return all;
    }
    static void ExpectCentred(const InkSpan& s, const std::string& what) {
        ASSERT_GE(s.left, 0) << what;
        const int leftGap = s.left, rightGap = 299 - s.right;
        EXPECT_LE(std::abs(leftGap - rightGap), 3) << what << ": ink from " << s.left << " to " << s.right;
    }
    static void ExpectRight(const InkSpan& s, const std::string& what) {
        ASSERT_GE(s.left, 0) << what;
        EXPECT_GE(s.right, 295) << what << ": ink ends at " << s.right;
        EXPECT_GT(s.left, 100) << what << ": ink starts at " << s.left;
    }
};

TEST_F(TextAlignment, ShortTextsAreCentredOrRightAlignedInEveryMode) {
    const char* modes[] = {"", R"(wordbreak="true")", R"(endellipsis="true")"};
    for (const char* mode : modes) {
        ExpectCentred(Ink((std::string(mode) + R"( align="center")").c_str(), "Short text"), mode);
        ExpectRight(Ink((std::string(mode) + R"( align="right")").c_str(), "Short text"), mode);
        const InkSpan left = Ink(mode, "Short text");
        EXPECT_LE(left.left, 3) << mode;
        EXPECT_LT(left.right, 150) << mode;
    }
}

TEST_F(TextAlignment, WrappedLongTextIsAlignedLineByLine) {
    const char* text = "The installer downloads the package and runs it silently";
    std::vector<InkSpan> lines;
    Ink(R"(wordbreak="true" align="center")", text, &lines);
    ASSERT_EQ(lines.size(), 2u);
    ExpectCentred(lines[0], "first line");
    ExpectCentred(lines[1], "second, shorter line");
    lines.clear();
    Ink(R"(wordbreak="true" align="right")", text, &lines);
    ASSERT_EQ(lines.size(), 2u);
    ExpectRight(lines[1], "second line");
    EXPECT_GE(lines[0].right, 295);
}

TEST_F(TextAlignment, SingleLineTooLongForItsBox) {
    const char* text = "A single line that is far too long for the three hundred pixel box";
    // Centred and clipped on both sides.
    const InkSpan clipped = Ink(R"(align="center")", text);
    EXPECT_LE(clipped.left, 2);
    EXPECT_GE(clipped.right, 297);
    // With an ellipsis the text fills the box from its left edge whatever the alignment.
    for (const char* align : {"left", "center", "right"}) {
        const InkSpan ellipsis = Ink((std::string(R"(endellipsis="true" align=")") + align + "\"").c_str(), text);
        EXPECT_LE(ellipsis.left, 3) << align;
        EXPECT_GE(ellipsis.right, 280) << align;
    }
}

