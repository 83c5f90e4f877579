// Tracking from several threads at once while other calls flush: every record arrives once.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "analytics/tracker/source/src/UsageTracker.h"
#include "tests/analytics/tracker/TrackerTestSupport.h"

namespace {

using namespace varnel::tracking;
using trackertest::json;

class TrackerConcurrencyTest : public trackertest::TrackerTest {};

TEST_F(TrackerConcurrencyTest, TasksFromManyThreadsWithConcurrentFlushesArriveExactlyOnce) {
    UsageTracker::start(Config(), Environment());
    constexpr int kThreads = 4, kTasks = 40;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            const std::shared_ptr<UsageTracker> tracker = UsageTracker::instance();
            VnContextProperties context;
            context.setProperty("vnc_ab", "T" + std::to_string(t), {static_cast<int>(VnEvent::Task)});
            for (int i = 0; i < kTasks; ++i) {
                VnEventTask task;
                task.name = std::to_string(t) + "/" + std::to_string(i);
                tracker->trackTask(task, &context);
                if (i % 10 == 9) tracker->trackUninstall("", &context);  // a flushing call
            }
            // A successful payment changes and saves the tracker state from this thread.
            VnEventPayment payment;
            payment.vnOrderId = "order-" + std::to_string(t);
            payment.vnCurrency = vnValue(VnCurrency::EUR);
            payment.paidPlatform = vnValue(VnPaidPlatform::PayPal);
            payment.result = vnValue(VnResult::Success);
            payment.paidAmount = 1.0f;
            tracker->trackPayment(payment, &context);
        });
    for (std::thread& thread : threads) thread.join();
    UsageTracker::release();
    std::multiset<std::string> tasks;
    int flushes = 0, payments = 0;
    for (const json& r : collector_.Records()) {
        if (r["type"] != "track") continue;
        if (r["event"] == "VnEventPayment") {
            ++payments;
            continue;
        }
        if (r["event"] == "VnEventUninstall") {
            ++flushes;
            continue;
        }
        const std::string name = r["properties"]["vn_task_name"];
        EXPECT_EQ(r["properties"]["vnc_ab"], "T" + name.substr(0, name.find('/')));
        tasks.insert(name);
    }
    EXPECT_EQ(flushes, kThreads * kTasks / 10);
    EXPECT_EQ(payments, kThreads);
    EXPECT_EQ(trackertest::IniValue(ConfigFile(), "Base", "UserVipLevel"), "1");
    EXPECT_EQ(tasks.size(), static_cast<std::size_t>(kThreads * kTasks));
    EXPECT_EQ(std::set<std::string>(tasks.begin(), tasks.end()).size(), tasks.size());
}

TEST_F(TrackerConcurrencyTest, FlushesFailingUnderLoadKeepEveryRecordForRelease) {
    UsageTracker::start(Config(), Environment());
    collector_.AnswerStatus(500, 6);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([t] {
            VnContextProperties none;
            for (int i = 0; i < 20; ++i) {
                VnEventTask task;
                task.name = std::to_string(t) + "/" + std::to_string(i);
                UsageTracker::instance()->trackTask(task, &none);
                if (i % 5 == 4) UsageTracker::instance()->trackCrash("");
            }
        });
    for (std::thread& thread : threads) thread.join();
    UsageTracker::release();
    std::set<std::string> tasks;
    for (const json& r : collector_.Records())
        if (r["event"] == "VnEventTask") tasks.insert(r["properties"]["vn_task_name"].get<std::string>());
    EXPECT_EQ(tasks.size(), 60u);
}

}  // namespace
