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
    ReportTaskEvent(L"崩溃退出");
    InstallerSettings::Instance().IsEnableAppAnalytics = true;
    // Sent through the same tracker and collector: the silence above is not a broken line.
    ReportTaskEvent(L"sent while on");
    UsageTracker::release();
    ReportTaskEvent(L"libcurl初始化失败");  // no tracker any more: skipped without error
    std::vector<std::string> names;
    for (const auto& record : Take())
        if (record.value("event", "") == "VnEventTask") names.push_back(Own(record).value("vn_task_name", ""));
    EXPECT_EQ(names, std::vector<std::string>{"sent while on"});
}
