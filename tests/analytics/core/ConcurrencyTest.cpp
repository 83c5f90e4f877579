// Several threads make records while another flushes: every record arrives exactly once, in the
// order each thread made them, including when some batches fail and are put back.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "analytics/core/Sdk.h"
#include "tests/analytics/core/CollectTestSupport.h"

namespace {

using collect::PropertiesNode;
using collect::Sdk;

constexpr int kThreads = 4;
constexpr int kPerThread = 150;  // 600 records: below the capacity, so none may be lost

class ConcurrencyTest : public collecttest::CollectorTest {
protected:
    void RunAddersAndFlusher() {
        ASSERT_TRUE(Sdk::Init(StagingFolder(), collector_.Url(), "device-1", false));
        std::atomic<int> running{kThreads};
        std::vector<std::thread> adders;
        for (int t = 0; t < kThreads; ++t)
            adders.emplace_back([t, &running] {
                for (int i = 0; i < kPerThread; ++i) {
                    PropertiesNode p;
                    p.SetNumber("thread", t);
                    p.SetNumber("seq", i);
                    Sdk::Track("Tick", p);
                    if (i % 50 == 0) Sdk::ProfileIncrement("ticks", 1);
                }
                --running;
            });
        std::thread flusher([&running] {
            while (running > 0) {
                Sdk::Flush();
                std::this_thread::yield();
            }
        });
        for (auto& a : adders) a.join();
        flusher.join();
        collector_.AnswerNormally();
        EXPECT_TRUE(Sdk::Flush());
        Sdk::Shutdown();
    }

    void ExpectEveryRecordOnceInThreadOrder() {
        std::map<int, std::vector<int>> seqByThread;
        int profiles = 0;
        for (const auto& record : collector_.Records()) {
            if (record["type"] == "profile_increment") {
                ++profiles;
                continue;
            }
            seqByThread[record["properties"]["thread"].get<int>()].push_back(record["properties"]["seq"].get<int>());
        }
        EXPECT_EQ(profiles, kThreads * 3);
        ASSERT_EQ(seqByThread.size(), static_cast<std::size_t>(kThreads));
        for (const auto& [thread, seqs] : seqByThread) EXPECT_EQ(seqs, collecttest::Range(0, kPerThread)) << thread;
    }
};

TEST_F(ConcurrencyTest, AddersAndAFlusherLoseNothingAndDuplicateNothing) {
    RunAddersAndFlusher();
    ExpectEveryRecordOnceInThreadOrder();
}

TEST_F(ConcurrencyTest, FailedBatchesUnderConcurrentAddsComeBackInOrder) {
    collector_.AnswerStatus(500, 6);
    {
        collecttest::StderrCapture err;
        RunAddersAndFlusher();
    }
    ExpectEveryRecordOnceInThreadOrder();
}

}  // namespace
