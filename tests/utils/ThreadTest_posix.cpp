// Thread names as Linux keeps them: what /proc shows, cut to 15 bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "utils/Thread.h"

using Utils::Thread;

namespace {

std::string SystemThreadName(uint32_t tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

}  // namespace

TEST(Thread_Names, TheSystemNameIsCutTo15BytesOnACharacterBoundary) {
    Thread unnamed(nullptr, L"", [](void*) { return 0u; });
    EXPECT_EQ(unnamed.DebuggerName(), "t" + std::to_string(unnamed.Id()));
    EXPECT_EQ(SystemThreadName(unnamed.Id()), unnamed.DebuggerName().substr(0, 15));

    Thread named(nullptr, L"UnInstaller", [](void*) { return 0u; });
    EXPECT_EQ(SystemThreadName(named.Id()), "UnInstaller");

    // 15 bytes at most, cut on a character boundary ("安" is three bytes).
    Thread wide(nullptr, L"安安安安安安", [](void*) { return 0u; });
    EXPECT_EQ(wide.DebuggerName(), "安安安安安");
}

