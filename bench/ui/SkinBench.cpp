// The cost of the skin at start-up and while animating: opening the built-in package with the
// en-US language, a switch to zh-TW and back, and decoding all 129 animation frames.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "toolkit/ImageCache.h"
#include "toolkit/SkinResources.h"
#include "ui/skin/SkinPackage.h"

namespace {

void BM_OpenSkinPackage(benchmark::State& state) {
    for (auto _ : state) Skin::OpenSkinPackage();
}
BENCHMARK(BM_OpenSkinPackage)->Unit(benchmark::kMillisecond);

void BM_SwitchToChineseAndBack(benchmark::State& state) {
    Skin::OpenSkinPackage();
    for (auto _ : state) {
        Skin::SwitchSkinLanguage(L"zh-TW");
        Skin::SwitchSkinLanguage(L"en-US");
    }
}
BENCHMARK(BM_SwitchToChineseAndBack)->Unit(benchmark::kMillisecond);

void BM_DecodeAllAnimationFrames(benchmark::State& state) {
    Skin::OpenSkinPackage();
    const bool hiDpi = state.range(0) == 2;
    std::vector<std::string> frames;
    auto add = [&](const char* folder, int count) {
        for (int i = 0; i < count; ++i) {
            char name[96];
            std::snprintf(name, sizeof name, "res/mainWnd/%s/%03d%s.png", folder, i, hiDpi ? "@2x" : "");
            std::string bytes;
            if (!Toolkit::SkinResources::Instance().Read(std::wstring(name, name + std::char_traits<char>::length(name)), bytes))
                state.SkipWithError("frame missing from the package");
            frames.push_back(std::move(bytes));
        }
    };
    add("progressAnimate", 95);
    add("finishedAnimate", 34);
    for (auto _ : state)
        for (const auto& f : frames) benchmark::DoNotOptimize(Toolkit::ImageCache::Decode(f));
    state.counters["frames"] = static_cast<double>(frames.size());
}
BENCHMARK(BM_DecodeAllAnimationFrames)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
