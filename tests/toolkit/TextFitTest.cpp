// Text as labels show it, on whichever text system the build uses: English and Traditional
// Chinese with no glyph left as a box, ink inside the size Measure reports (a label sized by it
// clips nothing), an end ellipsis that stops inside its box, and wrapping into lines that each
// keep to the width.
#include <cairo.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/CairoPtr.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/TextRenderer.h"

using namespace Toolkit;

namespace {

const FontInfo kFont{L"微软雅黑", 16};
const std::wstring kEnglish = L"Install Quorvex to this folder";
const std::wstring kChinese = L"安裝完成 溫馨提示 您確定要退出安裝嗎？";

struct Ink {
    Rect box{-1, -1, -1, -1};  // bounding box of the dark pixels; left -1 when there are none
    std::vector<std::pair<int, int>> lines;  // first and last row of each band of inked rows
    bool Empty() const { return box.left < 0; }
};

class TextFit : public ::testing::Test {
protected:
    static constexpr int kW = 640, kH = 200;
    void SetUp() override { saved_ = CurrentLanguage(); }
    void TearDown() override { SetCurrentLanguage(saved_); }

    // Draws `text` black on white inside `box` of a fresh surface and returns where ink landed.
    Ink Draw(const std::wstring& text, const Rect& box, const TextStyle& style, const FontInfo& font = kFont) {
        surface_.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH));
        const CairoPtr cr(cairo_create(surface_.get()));
        cairo_set_source_rgb(cr.get(), 1, 1, 1);
        cairo_paint(cr.get());
        Text::Draw(cr.get(), text, box, font, 0xFF000000, style);
        cairo_surface_flush(surface_.get());
        const unsigned char* data = cairo_image_surface_get_data(surface_.get());
        const int stride = cairo_image_surface_get_stride(surface_.get());
        Ink ink;
        int bandStart = -1;
        for (int y = 0; y <= kH; ++y) {
            bool inked = false;
            for (int x = 0; y < kH && x < kW; ++x) {
                const auto px = reinterpret_cast<const std::uint32_t*>(data + static_cast<size_t>(y) * stride)[x];
                if ((px & 0xFF) >= 0xC0) continue;
                inked = true;
                if (ink.Empty()) ink.box = {x, y, x + 1, y + 1};
                ink.box.left = std::min(ink.box.left, x);
                ink.box.right = std::max(ink.box.right, x + 1);
                ink.box.top = std::min(ink.box.top, y);
                ink.box.bottom = std::max(ink.box.bottom, y + 1);
            }
            if (inked && bandStart < 0) bandStart = y;
            if (!inked && bandStart >= 0) {
                ink.lines.emplace_back(bandStart, y - 1);
                bandStart = -1;
            }
        }
        return ink;
    }
    // Grey levels between black and white: the edges are smoothed, not hard steps.
    int GreyPixels() {
        const unsigned char* data = cairo_image_surface_get_data(surface_.get());
        const int stride = cairo_image_surface_get_stride(surface_.get());
        int n = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const auto blue = reinterpret_cast<const std::uint32_t*>(data + static_cast<size_t>(y) * stride)[x] & 0xFF;
                if (blue > 0x20 && blue < 0xE0) ++n;
            }
        return n;
    }

    SurfacePtr surface_;
    std::wstring saved_;
};

}  // namespace

TEST_F(TextFit, EnglishAndTraditionalChineseDrawEveryGlyphInsideTheMeasuredBox) {
    struct Case {
        const wchar_t* language;
        std::wstring text;
    };
    for (const Case& c : {Case{L"en-US", kEnglish}, Case{L"zh-TW", kChinese}}) {
        SCOPED_TRACE(c.text.size());
        SetCurrentLanguage(c.language);
        EXPECT_EQ(Text::UnknownGlyphs(c.text, kFont), 0);
        const Size size = Text::Measure(c.text, kFont, TextStyle{});
        ASSERT_GT(size.cx, 0);
        ASSERT_GT(size.cy, 0);
        EXPECT_LT(size.cy, 40);  // one line of 16-pixel text
        // Drawn into a box of exactly the measured size (the box itself clips), and then into
        // one far too big to clip: the ink is the same and lies inside the measured size.
        const Rect exact{20, 30, 20 + size.cx, 30 + size.cy};
        const Ink fitted = Draw(c.text, exact, TextStyle{HAlign::Left, VAlign::Top});
        ASSERT_FALSE(fitted.Empty());
        EXPECT_GT(GreyPixels(), 20) << "text is anti-aliased";
        const Ink free = Draw(c.text, {20, 30, kW, kH}, TextStyle{HAlign::Left, VAlign::Top});
        EXPECT_EQ(free.box, fitted.box) << "the measured box cut ink off";
        EXPECT_GE(free.box.left, exact.left);
        EXPECT_LE(free.box.right, exact.right);
        EXPECT_GE(free.box.top, exact.top);
        EXPECT_LE(free.box.bottom, exact.bottom);
        // Real glyphs, not a row of boxes: ink rises well above and covers most of the line.
        EXPECT_GE(free.box.Height(), 10);
        EXPECT_GT(free.box.Width(), size.cx * 3 / 4);
    }
}

TEST_F(TextFit, EndEllipsisStopsInsideTheBoxOnBothScripts) {
    for (const std::wstring& text : {kEnglish + L" " + kEnglish, kChinese + kChinese}) {
        const Rect box{10, 10, 170, 50};
        TextStyle ellipsis{HAlign::Left, VAlign::Center};
        ellipsis.endEllipsis = true;
        ASSERT_GT(Text::Measure(text, kFont, ellipsis).cx, box.Width());  // too long: Measure ignores the cut
        const Ink cut = Draw(text, box, ellipsis);
        ASSERT_FALSE(cut.Empty());
        EXPECT_GE(cut.box.left, box.left);
        // Whole characters and the ellipsis end before the edge: nothing is sliced by the clip.
        EXPECT_LT(cut.box.right, box.right);
        EXPECT_GT(cut.box.right, box.left + box.Width() / 2);
        const Ink clipped = Draw(text, box, TextStyle{HAlign::Left, VAlign::Center});
        EXPECT_NE(cut.box.right, clipped.box.right) << "no ellipsis was drawn";
        EXPECT_EQ(cut.lines.size(), 1u);
    }
}

TEST_F(TextFit, WrappedTextBreaksIntoLinesThatKeepToTheWidth) {
    const std::wstring english = L"The installer downloads the package and runs it silently in the background";
    for (const std::wstring& text : {english, kChinese + kChinese}) {
        const Rect box{10, 10, 210, 190};
        const TextStyle wrap{HAlign::Left, VAlign::Top, true};
        const Size one = Text::Measure(text, kFont, TextStyle{});
        const Size wrapped = Text::Measure(text, kFont, wrap, box.Width());
        EXPECT_LE(wrapped.cx, box.Width());
        EXPECT_GE(wrapped.cy, 2 * one.cy);
        const Ink ink = Draw(text, box, wrap);
        ASSERT_FALSE(ink.Empty());
        EXPECT_GE(ink.lines.size(), 2u);
        EXPECT_GE(ink.box.left, box.left);
        EXPECT_LT(ink.box.right, box.right);  // no line runs into the clip
        EXPECT_LE(ink.box.bottom, box.top + wrapped.cy + 1);
        // Centred wrapping keeps the lines inside the box too.
        const Ink centred = Draw(text, box, TextStyle{HAlign::Center, VAlign::Top, true});
        EXPECT_GT(centred.box.left, box.left);
        EXPECT_LT(centred.box.right, box.right);
    }
}
