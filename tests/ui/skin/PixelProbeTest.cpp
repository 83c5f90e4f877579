// Colours the skin fixes, probed in offscreen renderings at both scales: the install button's
// blue, the white body, the progress fill against its track, the message-box buttons.
#include <gtest/gtest.h>

#include <cairo.h>

#include "../../support/ScopedEnv.h"
#include "BuiltWindow.h"
#include "toolkit/CairoPtr.h"
#include "toolkit/OffscreenRenderer.h"
#include "toolkit/Progress.h"
#include "ui/skin/SkinPackage.h"

using namespace Toolkit;

namespace {

class PixelProbeTest : public ::testing::TestWithParam<int> {
protected:
    static void SetUpTestSuite() {
        testsupport::ScopedEnv::Set("QV_SKIN_DIR", nullptr);
        Skin::OpenSkinPackage();
    }
    void Render(BuiltWindow& w) {
        OffscreenOptions o;
        o.scale = GetParam();
        surface_ = RenderWindow(w.manager, o);
        ASSERT_NE(surface_, nullptr);
        const Size size = w.manager.GetClientSize();
        ASSERT_EQ(cairo_image_surface_get_width(surface_.get()), size.cx * GetParam());
    }
    // The pixel at window coordinates (x, y) as 0xRRGGBB; alpha must be full.
    std::uint32_t Rgb(int x, int y) {
        cairo_surface_t* surface = surface_.get();
        cairo_surface_flush(surface);
        const int s = GetParam();
        const auto* row = cairo_image_surface_get_data(surface) +
                          static_cast<std::size_t>(y * s) * cairo_image_surface_get_stride(surface);
        const std::uint32_t px = reinterpret_cast<const std::uint32_t*>(row)[x * s];
        EXPECT_EQ(px >> 24, 0xFFu) << x << "," << y;
        return px & 0xFFFFFF;
    }
    SurfacePtr surface_;
};

TEST_P(PixelProbeTest, MainWindowButtonBodyAndProgress) {
    BuiltWindow w(L"MainWnd.xml");
    ASSERT_TRUE(w.Ok());
    Render(w);
    const Rect button = w.manager.FindControl(L"defaultInstallBtn")->GetPos();
    EXPECT_EQ(Rgb(button.left + 8, button.top + button.Height() / 2), 0x2196F3u);
    EXPECT_EQ(Rgb(30, 250), 0xFFFFFFu);
    EXPECT_EQ(Rgb(570, 250), 0xFFFFFFu);

    w.Select(L"mainTabLt", 2);
    auto* bar = dynamic_cast<CProgressUI*>(w.manager.FindControl(L"installPrg"));
    ASSERT_NE(bar, nullptr);
    bar->SetValue(50);
    w.manager.UpdateLayout();
    Render(w);
    const Rect r = bar->GetPos();
    const int mid = r.top + r.Height() / 2;
    const std::uint32_t fill = Rgb(r.left + r.Width() / 4, mid);
    const std::uint32_t track = Rgb(r.left + r.Width() * 3 / 4, mid);
    // Fill: between the gradient's light and deep blue. Track: the pale blue-grey.
    EXPECT_GE(fill & 0xFF, 0xF0u);
    EXPECT_LE(fill >> 16, 0x55u);
    EXPECT_EQ(track, 0xE3EEF9u);
}

TEST_P(PixelProbeTest, MessageBoxesAreWhiteWithBlueButtons) {
    BuiltWindow w(L"ExitTipWnd.xml");
    ASSERT_TRUE(w.Ok());
    Render(w);
    EXPECT_EQ(Rgb(10, 100), 0xFFFFFFu);
    const Rect cancel = w.manager.FindControl(L"cancelBtn")->GetPos();
    EXPECT_EQ(Rgb(cancel.left + 6, cancel.top + cancel.Height() / 2), 0x1890FFu);
    const Rect ok = w.manager.FindControl(L"okBtn")->GetPos();
    EXPECT_EQ(Rgb(ok.left + 6, ok.top + ok.Height() / 2), 0xFFFFFFu);

    BuiltWindow box(L"MessageBox2Wnd.xml");
    ASSERT_TRUE(box.Ok());
    Render(box);
    EXPECT_EQ(Rgb(4, 15), 0xF5F5F5u);
    EXPECT_EQ(Rgb(10, 120), 0xFFFFFFu);
}

INSTANTIATE_TEST_SUITE_P(Scales, PixelProbeTest, ::testing::Values(1, 2),
                         [](const auto& info) { return "x" + std::to_string(info.param); });

}  // namespace
