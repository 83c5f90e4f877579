// Layout and paint of the 600x400 demo window (about 40 controls) into an image surface.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdio>

#include "../../tests/toolkit/support/TestSkin.h"
#include "toolkit/LayoutBuilder.h"
#include "toolkit/OffscreenRenderer.h"
#include "toolkit/PaintManager.h"
#include "toolkit/SkinResources.h"

using namespace Toolkit;

namespace {
struct Window {
    CPaintManagerUI manager;
    int controls = 0;
    Window() {
        static bool opened = [] {
            const std::string dir = "/tmp/qv_bench_skin";
            return TestSkin::WriteFolder(dir) && SkinResources::Instance().OpenZipCopy(TestSkin::MakeZip(dir));
        }();
        if (!opened) std::abort();
        BuildResult r = CLayoutBuilder::BuildFromResource(L"demo.xml", &manager, nullptr);
        if (!r.ok) std::abort();
        manager.AttachRoot(std::move(r.root));
        manager.SetClientSize(manager.GetInitSize());
        manager.GetRoot()->FindFirst([&](CControlUI*) { return ++controls, false; });
    }
};
}  // namespace

static void BM_BuildLayoutFromXml(benchmark::State& state) {
    for (auto _ : state) {
        Window w;
        benchmark::DoNotOptimize(w.controls);
    }
}
BENCHMARK(BM_BuildLayoutFromXml)->Unit(benchmark::kMicrosecond);

static void BM_LayoutPass(benchmark::State& state) {
    Window w;
    state.counters["controls"] = w.controls;
    for (auto _ : state) {
        w.manager.NeedUpdate();
        w.manager.UpdateLayout();
    }
}
BENCHMARK(BM_LayoutPass)->Unit(benchmark::kMicrosecond);

static void BM_LayoutAndPaint600x400(benchmark::State& state) {
    Window w;
    state.counters["controls"] = w.controls;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 600, 400);
    for (auto _ : state) {
        cairo_t* cr = cairo_create(surface);
        w.manager.NeedUpdate();
        w.manager.Paint(cr, {0, 0, 600, 400});
        cairo_destroy(cr);
    }
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_LayoutAndPaint600x400)->Unit(benchmark::kMillisecond);

static void BM_WindowWithShadowToSurface(benchmark::State& state) {
    Window w;
    OffscreenOptions o;
    o.withShadow = true;
    for (auto _ : state) {
        w.manager.NeedUpdate();
        SurfacePtr s = RenderWindow(w.manager, o);
        benchmark::DoNotOptimize(s.get());
    }
}
BENCHMARK(BM_WindowWithShadowToSurface)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
