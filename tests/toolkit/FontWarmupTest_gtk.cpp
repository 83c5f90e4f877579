// Pango's side of the font warm-up: the starting thread's default font map becomes the one the
// worker filled.
#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <thread>

#include "toolkit/FontWarmup.h"
#include "toolkit/TextRenderer.h"

using namespace Toolkit;

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
