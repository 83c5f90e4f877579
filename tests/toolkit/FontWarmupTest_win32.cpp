// The font warm-up with DirectWrite, where no worker pays for its thread: Start() refuses, and
// the first text call of a fresh thread loads its fonts itself and draws the text.
#include <cairo.h>
#include <gtest/gtest.h>

#include <thread>

#include "toolkit/CairoPtr.h"
#include "toolkit/FontWarmup.h"
#include "toolkit/TextRenderer.h"

using namespace Toolkit;

TEST(FontWarmupDirectWrite, NoWorkerAndTheFirstTextCallLoadsItsFonts) {
    std::thread thread([] {
        const FontInfo font{L"微软雅黑", 18, true};
        EXPECT_FALSE(FontWarmup::Start({{L"安裝完成 Installed", font}}, L"zh-TW"));
        EXPECT_FALSE(FontWarmup::Pending());
        SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 240, 40));
        const CairoPtr cr(cairo_create(surface.get()));
        Text::Draw(cr.get(), L"安裝完成 Installed", {0, 0, 240, 40}, font, 0xFF000000, TextStyle{});
        cairo_surface_flush(surface.get());
        const unsigned char* data = cairo_image_surface_get_data(surface.get());
        const int stride = cairo_image_surface_get_stride(surface.get());
        int inked = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 240; ++x) inked += data[y * stride + x * 4 + 3] != 0;
        EXPECT_GT(inked, 200);  // both scripts drew, not a box or nothing
        EXPECT_FALSE(FontWarmup::Start({{L"Next", font}}, L"zh-TW"));
    });
    thread.join();
}
