// The installer's analytics call, through the process-wide tracker to a real collector.
#include <gtest/gtest.h>

#include "analytics/tracker/source/src/UsageTracker.h"
#include "config/InstallerSettings.h"
#include "tests/analytics/tracker/TrackerTestSupport.h"
#include "install/ReportTaskEvent.h"

using varnel::tracking::UsageTracker;

namespace {

class ReportTaskEventTest : public trackertest::TrackerTest {
protected:
    void SetUp() override {
        TrackerTest::SetUp();
        InstallerSettings::Instance().IsEnableAppAnalytics = true;
        UsageTracker::start(Config(), Environment());
    }
    void TearDown() override {
        UsageTracker::release();
        InstallerSettings::Instance().IsEnableAppAnalytics = true;
        TrackerTest::TearDown();
    }
};

}  // namespace

TEST_F(ReportTaskEventTest, InstallerEventCarriesItsNameZeroElapsedAndTheGroup) {
    ReportTaskEvent(L"大包下载完毕用时1分5秒");
    UsageTracker::release();  // flushes the queue
    const auto record = OnlyEvent("VnEventTask");
    const auto own = Own(record);
    EXPECT_EQ(own.value("vn_task_name", ""), "大包下载完毕用时1分5秒");
    EXPECT_EQ(own.value("vnc_ab", ""), "IN");
    ASSERT_TRUE(own.contains("vn_task_elapsed"));
    EXPECT_EQ(own["vn_task_elapsed"].get<double>(), 0.0);
    EXPECT_FALSE(own.contains("vn_reason"));
    EXPECT_FALSE(own.contains("vn_task_result"));
    EXPECT_FALSE(own.contains("vn_aname"));
}

TEST_F(ReportTaskEventTest, AReasonIsSentAndAnInvalidGroupIsLeftOut) {
    ReportTaskEvent(L"task", L"why", 2.5f, {{L"AB", L"lower"}});
    UsageTracker::release();
    const auto own = Own(OnlyEvent("VnEventTask"));
    EXPECT_EQ(own.value("vn_reason", ""), "why");
    EXPECT_FALSE(own.contains("vnc_ab"));
}

TEST_F(ReportTaskEventTest, NothingIsSentWithAnalyticsOffOrWithoutATracker) {
    InstallerSettings::Instance().IsEnableAppAnalytics = false;
    ReportTaskEvent(kTaskCrashExit);
    InstallerSettings::Instance().IsEnableAppAnalytics = true;
    UsageTracker::release();
    ReportTaskEvent(kTaskCurlInitFailed);  // no tracker any more: skipped without error
    for (const auto& record : Take()) EXPECT_NE(record.value("event", ""), "VnEventTask") << record.dump();
}
