#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

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

TEST(Thread_Lifecycle, RunsItsFunctionWithItsArgumentOnlyAfterResume) {
    std::atomic<int> calls{0};
    int value = 7;
    void* seen = nullptr;
    Thread t(&value, L"ABDEF", [&](void* arg) {
        seen = arg;
        ++calls;
        return 0u;
    });
    ASSERT_TRUE(t.HasHandle());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(calls.load(), 0);
    EXPECT_TRUE(t.Resume());
    EXPECT_FALSE(t.Resume());
    t.Join();
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(seen, &value);
    EXPECT_EQ(t.Id(), Thread::kNoThread);
    t.Join();  // a second join returns at once
}

TEST(Thread_Lifecycle, NeverResumedThreadEndsWithoutRunningWhenDestroyed) {
    std::atomic<int> calls{0};
    {
        Thread t(nullptr, L"idle", [&](void*) {
            ++calls;
            return 0u;
        });
    }
    EXPECT_EQ(calls.load(), 0);
}

TEST(Thread_Names, EmptyNameGivesTPlusIdAndLongNamesAreCut) {
    Thread unnamed(nullptr, L"", [](void*) { return 0u; });
    EXPECT_EQ(unnamed.DebuggerName(), "t" + std::to_string(unnamed.Id()));
    EXPECT_EQ(SystemThreadName(unnamed.Id()), unnamed.DebuggerName().substr(0, 15));

    Thread named(nullptr, L"UnInstaller", [](void*) { return 0u; });
    EXPECT_EQ(SystemThreadName(named.Id()), "UnInstaller");

    // 15 bytes at most, cut on a character boundary ("安" is three bytes).
    Thread wide(nullptr, L"安安安安安安", [](void*) { return 0u; });
    EXPECT_EQ(wide.DebuggerName(), "安安安安安");
}

TEST(Thread_Log, WorkIsBracketedByBeginAndEndLines) {
    testing::internal::CaptureStderr();
    {
        Thread t(nullptr, L"ABDEF", [](void*) { return 0u; });
        t.Resume();
    }
    const std::string out = testing::internal::GetCapturedStderr();
    const auto begin = out.find("(Utils::Thread::CallBack)");
    ASSERT_NE(begin, std::string::npos) << out;
    EXPECT_LT(out.find("THREAD BEGIN\n"), out.find("THREAD END\n"));
}

TEST(Thread_Failure, ExceptionInTheWorkIsContainedAndEmptyWorkDoesNotCrash) {
    testing::internal::CaptureStderr();
    {
        Thread throwing(nullptr, L"x", [](void*) -> unsigned { throw std::runtime_error("boom"); });
        throwing.Resume();
        Thread empty(nullptr, L"y", nullptr);
        empty.Resume();
    }
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("THREAD EXCEPTION boom"), std::string::npos) << out;
}

TEST(Thread_Concurrency, ManyThreadsRunAndJoinIndependently) {
    std::atomic<int> sum{0};
    std::vector<std::unique_ptr<Thread>> threads;
    for (int i = 1; i <= 16; ++i)
        threads.push_back(std::make_unique<Thread>(reinterpret_cast<void*>(static_cast<intptr_t>(i)), L"w",
                                                   [&](void* arg) {
                                                       sum += static_cast<int>(reinterpret_cast<intptr_t>(arg));
                                                       return 0u;
                                                   }));
    for (auto& t : threads) t->Resume();
    threads.clear();
    EXPECT_EQ(sum.load(), 136);
}
