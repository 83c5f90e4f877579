#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>
#include <thread>

#include "utils/Log.h"
#include "utils/StringUtils.h"
#include "utils/Thread.h"

using Utils::Thread;

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

TEST(Thread_Names, EmptyNameGivesTPlusTheThreadId) {
    Thread unnamed(nullptr, L"", [](void*) { return 0u; });
    ASSERT_TRUE(unnamed.HasHandle());
    EXPECT_EQ(unnamed.DebuggerName(), "t" + std::to_string(unnamed.Id()));
}

namespace {

// The trace lines logged while it lives (the log's own sink, so on every system).
class TraceCapture {
public:
    TraceCapture() {
        Lines().clear();
        Utils::SetLogSink(&Collect);
    }
    ~TraceCapture() { Utils::SetLogSink(nullptr); }
    std::wstring Text() {
        std::lock_guard lock(Mutex());
        std::wstring all;
        for (const auto& line : Lines()) all += line + L"\n";
        return all;
    }

private:
    static std::mutex& Mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::wstring>& Lines() {
        static std::vector<std::wstring> lines;
        return lines;
    }
    static void Collect(std::wstring_view line) {
        std::lock_guard lock(Mutex());
        Lines().emplace_back(line);
    }
};

}  // namespace

TEST(Thread_Log, WorkIsBracketedByBeginAndEndLines) {
    TraceCapture trace;
    {
        Thread t(nullptr, L"ABDEF", [](void*) { return 0u; });
        t.Resume();
    }
    const std::wstring out = trace.Text();
    ASSERT_NE(out.find(L"(Utils::Thread::CallBack)"), std::wstring::npos) << Utils::ToUtf8(out);
    ASSERT_NE(out.find(L"THREAD END\n"), std::wstring::npos) << Utils::ToUtf8(out);
    EXPECT_LT(out.find(L"THREAD BEGIN\n"), out.find(L"THREAD END\n"));
}

TEST(Thread_Failure, ExceptionInTheWorkIsContainedAndEmptyWorkDoesNotCrash) {
    TraceCapture trace;
    {
        Thread throwing(nullptr, L"x", [](void*) -> unsigned { throw std::runtime_error("boom"); });
        throwing.Resume();
        Thread empty(nullptr, L"y", nullptr);
        empty.Resume();
    }
    const std::wstring out = trace.Text();
    EXPECT_NE(out.find(L"THREAD EXCEPTION boom"), std::wstring::npos) << Utils::ToUtf8(out);
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
