#pragma once
// What the font warm-up tests share. The warm-up works per thread (the thread that starts it
// adopts what it loaded), so each case runs on fresh threads of its own, untouched by the text
// other tests drew.
#include <thread>

#include "toolkit/FontWarmup.h"

namespace warmtest {

inline const Toolkit::FontInfo kWarmFont{L"微软雅黑", 18, true};

template <typename F>
void OnFreshThread(F work) {
    std::thread thread(work);
    thread.join();
}

}  // namespace warmtest
