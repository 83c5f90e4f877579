// The font warm-up on every system: nothing to lay out starts nothing. (Where a worker runs and
// how its fonts are handed over is tested per system.)
#include <gtest/gtest.h>

#include "tests/toolkit/FontWarmupTest.h"
#include "toolkit/FontWarmup.h"

using namespace Toolkit;
using warmtest::kWarmFont;
using warmtest::OnFreshThread;

TEST(FontWarmup, NothingToLayOutStartsNoWorker) {
    OnFreshThread([] {
        EXPECT_FALSE(FontWarmup::Start({}, L"en-US"));
        EXPECT_FALSE(FontWarmup::Start({{L"", kWarmFont}}, L"en-US"));
        EXPECT_FALSE(FontWarmup::Pending());
        FontWarmup::Finish();  // nothing pending: returns at once
    });
}
