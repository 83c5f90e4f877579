// The record store against the test collector: batching, the capacity, failed batches and the
// ways an upload can fail.
#include <gtest/gtest.h>

#include <chrono>

#include "analytics/core/RecordStore.h"
#include "tests/analytics/core/CollectTestSupport.h"

namespace {

using collect::RecordStore;
using collecttest::NumberedRecord;
using collecttest::NumbersOf;
using collecttest::Range;
using collecttest::StderrCapture;

class RecordStoreTest : public collecttest::CollectorTest {
protected:
    std::unique_ptr<RecordStore> MakeStore(const std::string& url = {}) {
        return std::make_unique<RecordStore>(url.empty() ? collector_.Url() : url, (temp_ / "staging").string());
    }
    static void AddNumbered(RecordStore& store, int from, int to) {
        for (int i = from; i < to; ++i) store.Add(NumberedRecord(i));
    }
    std::vector<std::size_t> BatchSizes() const {
        std::vector<std::size_t> sizes;
        for (const auto& r : collector_.Requests()) sizes.push_back(r.recordTexts.size());
        return sizes;
    }
};

TEST_F(RecordStoreTest, ThirtyOneRecordsGoAsThirtyThenOneInQueueOrder) {
    auto store = MakeStore();
    AddNumbered(*store, 0, 31);
    EXPECT_TRUE(store->FlushAll());
    EXPECT_EQ(BatchSizes(), (std::vector<std::size_t>{30, 1}));
    EXPECT_EQ(NumbersOf(collector_.RecordTexts()), Range(0, 31));
    EXPECT_EQ(collector_.Requests()[1].batchText, "[{\"n\":30}]");
    EXPECT_EQ(store->Size(), 0u);
    EXPECT_TRUE(store->FlushAll());  // nothing left: no request
    EXPECT_TRUE(store->FlushBatch());
    EXPECT_EQ(collector_.Requests().size(), 2u);
}

TEST_F(RecordStoreTest, FlushBatchSendsOnlyTheOldestThirty) {
    auto store = MakeStore();
    AddNumbered(*store, 0, 45);
    EXPECT_TRUE(store->FlushBatch());
    EXPECT_EQ(NumbersOf(collector_.RecordTexts()), Range(0, 30));
    EXPECT_EQ(NumbersOf(store->Snapshot()), Range(30, 45));
}

TEST_F(RecordStoreTest, TheThousandTwentyFifthRecordPushesOutTheOldest) {
    auto store = MakeStore();
    AddNumbered(*store, 0, 1024);
    EXPECT_EQ(store->Size(), 1024u);
    store->Add(NumberedRecord(1024));
    EXPECT_EQ(store->Size(), 1024u);
    EXPECT_TRUE(store->FlushAll());
    EXPECT_EQ(NumbersOf(collector_.RecordTexts()), Range(1, 1025));
    EXPECT_EQ(collector_.Requests().size(), 35u);  // 34 x 30 + 4
}

TEST_F(RecordStoreTest, AFailedBatchPutsBackOnlyItsNewestRecordsThatStillFit) {
    auto store = MakeStore();
    AddNumbered(*store, 0, 1024);
    // While the first batch (0..29) travels, 24 new records arrive: the queue holds 994 + 24,
    // leaving room for 6, so the batch's newest six (24..29) go back and 0..23 are lost.
    collector_.SetRequestHook([&](const collector::UploadRequest&) { AddNumbered(*store, 1024, 1048); });
    collector_.AnswerStatus(500, 1);
    {
        StderrCapture err;
        EXPECT_FALSE(store->FlushBatch());
        EXPECT_EQ(err.Take(), "EventCollect SDK send failed: forced status\n\n");
    }
    collector_.SetRequestHook(nullptr);
    std::vector<int> expected = Range(24, 30);
    for (int i : Range(30, 1048)) expected.push_back(i);
    EXPECT_EQ(NumbersOf(store->Snapshot()), expected);

    EXPECT_TRUE(store->FlushAll());
    EXPECT_EQ(NumbersOf(collector_.RecordTexts()), expected);
}

TEST_F(RecordStoreTest, OnlyStatusTwoHundredCountsAsSuccess) {
    auto store = MakeStore();
    AddNumbered(*store, 0, 3);
    for (const int status : {201, 204, 302, 400, 503}) {
        collector_.AnswerStatus(status);
        StderrCapture err;
        EXPECT_FALSE(store->FlushBatch()) << status;
        EXPECT_FALSE(store->FlushAll()) << status;
        const std::string body = status == 204 ? "" : "forced status\n";
        EXPECT_EQ(err.Take(), "EventCollect SDK send failed: " + body + "\n" + "EventCollect SDK send failed: " +
                                  body + "\n")
            << status;
        EXPECT_EQ(NumbersOf(store->Snapshot()), Range(0, 3)) << status;
    }
    EXPECT_EQ(collector_.RecordCount(), 0u);
    collector_.AnswerNormally();
    EXPECT_TRUE(store->FlushAll());
    EXPECT_EQ(NumbersOf(collector_.RecordTexts()), Range(0, 3));
}

TEST_F(RecordStoreTest, ADroppedConnectionOrAnUnreachableCollectorFails) {
    auto store = MakeStore();
    AddNumbered(*store, 0, 2);
    collector_.DropConnections(1);
    {
        StderrCapture err;
        EXPECT_FALSE(store->FlushAll());
        EXPECT_EQ(err.Take(), "EventCollect SDK send failed: Empty reply from server\n");
    }
    auto unreachable = MakeStore("http://127.0.0.1:" + std::to_string(collecttest::UnusedPort()) + "/collect");
    unreachable->Add(NumberedRecord(7));
    {
        StderrCapture err;
        EXPECT_FALSE(unreachable->FlushAll());
        EXPECT_NE(err.Take().find("EventCollect SDK send failed: Failed to connect to 127.0.0.1 port"), std::string::npos);
    }
    EXPECT_EQ(unreachable->Size(), 1u);
    EXPECT_TRUE(store->FlushAll());
    EXPECT_EQ(NumbersOf(collector_.RecordTexts()), Range(0, 2));
}

TEST_F(RecordStoreTest, AnAnswerLaterThanThreeSecondsIsAFailureAndTheRecordsComeAgainOnce) {
    auto store = MakeStore();
    AddNumbered(*store, 0, 2);
    collector_.DelayAnswers(std::chrono::seconds(30));
    const auto start = std::chrono::steady_clock::now();
    {
        StderrCapture err;
        EXPECT_FALSE(store->FlushAll());
        EXPECT_NE(err.Take().find("EventCollect SDK send failed: Operation timed out after"), std::string::npos);
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(2900));
    EXPECT_LT(waited, std::chrono::seconds(10));
    collector_.AnswerNormally();  // the held-back upload is abandoned without keeping anything
    EXPECT_TRUE(collector_.WaitForRequests(1, std::chrono::seconds(5)));
    EXPECT_EQ(collector_.Requests()[0].status, -1);
    EXPECT_TRUE(store->FlushAll());
    EXPECT_EQ(NumbersOf(collector_.RecordTexts()), Range(0, 2));
}

TEST_F(RecordStoreTest, AfterShutdownFlushesSendNothing) {
    auto store = MakeStore();
    AddNumbered(*store, 0, 2);
    store->Shutdown();
    EXPECT_FALSE(store->FlushBatch());
    EXPECT_FALSE(store->FlushAll());
    EXPECT_TRUE(collector_.Requests().empty());
}

}  // namespace
