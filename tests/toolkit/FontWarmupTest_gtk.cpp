// The font warm-up with Pango, where it runs on a worker: one worker at a time, finished only by
// the thread that started it, text drawn on the warmed fonts looks exactly like text drawn cold,
// and the starting thread's default font map becomes the one the worker filled.
#include <cairo.h>
#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <thread>
#include <vector>

#include "tests/toolkit/FontWarmupTest.h"
#include "toolkit/CairoPtr.h"
#include "toolkit/FontWarmup.h"
#include "toolkit/TextRenderer.h"

using namespace Toolkit;

namespace {
using warmtest::kWarmFont;
using warmtest::OnFreshThread;
const std::wstring kWarmText = L"安裝完成 Installed";

// The pixels of kWarmText drawn on the calling thread.
std::vector<unsigned char> DrawWarmText() {
    SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 240, 40));
    cairo_t* cr = cairo_create(surface.get());
    Text::Draw(cr, kWarmText, {0, 0, 240, 40}, kWarmFont, 0xFF000000, TextStyle{});
    cairo_destroy(cr);
    cairo_surface_flush(surface.get());
    const auto* data = cairo_image_surface_get_data(surface.get());
    return {data, data + cairo_image_surface_get_stride(surface.get()) * 40};
}
}  // namespace

TEST(FontWarmup, TheStartingThreadFinishesItAndDrawsTheSame) {
    std::vector<unsigned char> cold, warm;
    OnFreshThread([&] { cold = DrawWarmText(); });
    OnFreshThread([&] {
        ASSERT_TRUE(FontWarmup::Start({{kWarmText, kWarmFont}, {L"Next", FontInfo{L"", 12}}}, L"zh-TW"));
        EXPECT_TRUE(FontWarmup::Pending());
        EXPECT_FALSE(FontWarmup::Start({{kWarmText, kWarmFont}}, L"zh-TW"));  // one at a time
        // Another thread's text calls leave the warm-up to the thread that started it.
        OnFreshThread([] { Text::Measure(L"x", FontInfo{}, TextStyle{}); });
        EXPECT_TRUE(FontWarmup::Pending());
        warm = DrawWarmText();
        EXPECT_FALSE(FontWarmup::Pending());
        // Its own fonts are warm now: no second warm-up on this thread.
        EXPECT_FALSE(FontWarmup::Start({{kWarmText, kWarmFont}}, L"zh-TW"));
    });
    ASSERT_FALSE(cold.empty());
    EXPECT_EQ(cold, warm);
}


TEST(FontWarmupPango, TheStartingThreadAdoptsTheWarmedFontMap) {
    std::thread thread([] {
        PangoFontMap* own = pango_cairo_font_map_get_default();
        ASSERT_TRUE(FontWarmup::Start({{L"安裝完成", FontInfo{L"微软雅黑", 18, true}}}, L"zh-TW"));
        Text::Measure(L"x", FontInfo{}, TextStyle{});
        EXPECT_FALSE(FontWarmup::Pending());
        EXPECT_NE(pango_cairo_font_map_get_default(), own);
    });
    thread.join();
}
