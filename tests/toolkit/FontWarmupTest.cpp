// The font warm-up on every system: nothing to lay out starts nothing. (Where a worker runs and
// how its fonts are handed over is tested per system.)
#include <gtest/gtest.h>

#include <thread>

#include "toolkit/FontWarmup.h"

using namespace Toolkit;

// The warm-up works per thread (the thread that starts it adopts what it loaded), so each case
// runs on a fresh thread of its own, untouched by the text other tests drew.
namespace {
const FontInfo kWarmFont{L"微软雅黑", 18, true};

template <typename F>
void OnFreshThread(F work) {
    std::thread thread(work);
    thread.join();
}
}  // namespace

TEST(FontWarmup, NothingToLayOutStartsNoWorker) {
    OnFreshThread([] {
        EXPECT_FALSE(FontWarmup::Start({}, L"en-US"));
        EXPECT_FALSE(FontWarmup::Start({{L"", kWarmFont}}, L"en-US"));
        EXPECT_FALSE(FontWarmup::Pending());
        FontWarmup::Finish();  // nothing pending: returns at once
    });
}
