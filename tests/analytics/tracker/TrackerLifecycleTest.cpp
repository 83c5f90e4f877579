// The published tracker: start, instance and release, when queued records leave, and what
// happens when the collector cannot take them.
#include <gtest/gtest.h>

#include "analytics/core/Sdk.h"
#include "analytics/tracker/source/src/TrackerPlatform.h"
#include "analytics/tracker/source/src/UsageTrackerWrapper.h"
#include "tests/analytics/tracker/TrackerTestSupport.h"
#include "tests/support/ScopedEnv.h"

namespace {

namespace fs = std::filesystem;
using namespace varnel::tracking;
using trackertest::json;

class TrackerLifecycleTest : public trackertest::TrackerTest {
protected:
    static void Task(const std::string& name) {
        VnContextProperties none;
        VnEventTask task;
        task.name = name;
        UsageTracker::instance()->trackTask(task, &none);
    }
    static UsageTrackerImpl& Impl() {
        return *static_cast<UsageTrackerImpl*>(
            static_cast<UsageTrackerWrapper*>(UsageTracker::instance().get())->implementation());
    }
    std::vector<std::string> TaskNames() {
        std::vector<std::string> names;
        for (const json& r : Take())
            names.push_back(r["properties"].value("vn_task_name", r.value("event", "?")));
        return names;
    }
};

TEST_F(TrackerLifecycleTest, APendingTaskLeavesAtReleaseAndAFlushingCallTakesEverythingQueued) {
    EXPECT_EQ(UsageTracker::instance(), nullptr);
    UsageTracker::start(Config(), Environment());
    Task("one");
    EXPECT_EQ(collector_.RecordCount(), 0u) << "a task only waits";
    EXPECT_GT(Impl().snapshot().pending, 0);
    UsageTracker::instance()->trackCrash("崩溃");
    EXPECT_EQ(TaskNames(), (std::vector<std::string>{"one", "AppCrashed"}));
    EXPECT_EQ(Impl().snapshot().pending, 0);

    Task("two");
    UsageTracker::release();
    EXPECT_EQ(UsageTracker::instance(), nullptr);
    EXPECT_EQ(TaskNames(), (std::vector<std::string>{"two"}));
    EXPECT_FALSE(collect::Sdk::IsInitialized());
    UsageTracker::release();  // nothing published: nothing happens
}

TEST_F(TrackerLifecycleTest, WithoutAnAppNameCallsAreDroppedSilently) {
    TrackerConfig config = Config();
    config.appName.clear();
    UsageTracker::start(config, Environment());
    const std::shared_ptr<UsageTracker> tracker = UsageTracker::instance();
    ASSERT_NE(tracker, nullptr);
    testing::internal::CaptureStdout();
    VnContextProperties none;
    tracker->trackTask(VnEventTask{}, &none);  // refused, but there is no log file to report it
    Task("dropped");
    tracker->trackCrash("dropped");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(collect::Sdk::IsInitialized());
    UsageTracker::release();
    EXPECT_EQ(collector_.RecordCount(), 0u);
    EXPECT_FALSE(fs::exists(StateFolder()));
}

TEST_F(TrackerLifecycleTest, RecordsTheCollectorRefusedAreKeptAndSentByTheNextRun) {
    UsageTracker::start(Config(), Environment());
    collector_.AnswerStatus(503);
    Task("kept");
    UsageTracker::instance()->trackCrash("also kept");  // three refused attempts
    EXPECT_GT(Impl().snapshot().pending, 0) << "a failed flush leaves the records pending";
    UsageTracker::release();  // three more, then the records go to the staging file
    EXPECT_EQ(collector_.RecordCount(), 0u);
    EXPECT_TRUE(fs::exists(TrackerFolder() / collect::RecordStore::kStagingFileName));

    collector_.AnswerNormally();
    UsageTracker::start(Config(), Environment());
    UsageTracker::instance()->trackUninstall("", nullptr);  // refused by the wrapper: no context
    VnContextProperties none;
    UsageTracker::instance()->trackUninstall("bye", &none);
    EXPECT_EQ(TaskNames(), (std::vector<std::string>{"kept", "AppCrashed", "VnEventUninstall"}));
}

TEST_F(TrackerLifecycleTest, StagedRecordsAreSentByTheNextRunEvenWhenItTracksNothing) {
    // A crash report staged while the collector was down must not wait for a run that happens
    // to track something of its own.
    UsageTracker::start(Config(), Environment());
    collector_.AnswerStatus(503);
    UsageTracker::instance()->trackCrash("staged");
    UsageTracker::release();
    ASSERT_EQ(collector_.RecordCount(), 0u);

    collector_.AnswerNormally();
    UsageTracker::start(Config(), Environment());
    UsageTracker::release();
    EXPECT_EQ(TaskNames(), (std::vector<std::string>{"AppCrashed"}));
    EXPECT_FALSE(fs::exists(TrackerFolder() / collect::RecordStore::kStagingFileName) &&
                 fs::file_size(TrackerFolder() / collect::RecordStore::kStagingFileName) > 0);
}

TEST_F(TrackerLifecycleTest, AnUnreachableCollectorDoesNotHoldTheCallerAndLosesNothing) {
    TrackerConfig config = Config();
    config.serverUrl = "http://127.0.0.1:" + std::to_string(collecttest::UnusedPort()) + "/collect?project=pc";
    UsageTracker::start(config, Environment());
    Task("offline");
    UsageTracker::release();
    config.serverUrl = Config().serverUrl;
    UsageTracker::start(config, Environment());
    UsageTracker::instance()->trackCrash("");
    // The endpoint changed, so the identity is new; the staged record still travels.
    EXPECT_EQ(TaskNames(), (std::vector<std::string>{"offline", "AppCrashed"}));
}

TEST_F(TrackerLifecycleTest, ASecondStartReplacesTheTrackerAndKeepsACoreEvenWhileTheOldOneIsHeld) {
    UsageTracker::start(Config(), Environment());
    std::shared_ptr<UsageTracker> old = UsageTracker::instance();
    TrackerConfig other = Config();
    other.serverUrl = collector_.Url("/collect?project=pc&second=1");
    UsageTracker::start(other, Environment());
    ASSERT_NE(UsageTracker::instance(), old);
    old.reset();  // the old tracker ends here; the new one must keep sending
    Task("after");
    UsageTracker::instance()->trackCrash("");
    EXPECT_EQ(TaskNames(), (std::vector<std::string>{"after", "AppCrashed"}));
    EXPECT_TRUE(Impl().snapshot().hasCore);
}

TEST_F(TrackerLifecycleTest, TheDefaultEnvironmentUsesTheStateFolderAndTheBuiltInEndpoint) {
    // Linux takes the base folder from the variable; Windows has the user's local application
    // data folder, so the tracker there gets a name of its own, removed afterwards.
    const testsupport::ScopedEnv state("XDG_STATE_HOME", (temp_.path() / "xdg").string());
    const fs::path base = platform::LocalStateFolder();
    ASSERT_FALSE(base.empty());
    TrackerConfig config = Config();
    config.appName = "Quorvex.lifecycle-test";
    config.serverUrl.clear();
    const fs::path folder = base / "VNLocal" / config.appName;
    std::error_code ec;
    fs::remove_all(folder, ec);
    UsageTracker::start(config);
    EXPECT_EQ(Impl().serverUrl(), std::string(QV_COLLECT_HOST) + "/collect?project=pc");
    EXPECT_TRUE(fs::exists(folder / "Quorvex.lifecycle-test_VNSConfigure.ini"));
    UsageTracker::release();  // nothing pending: nothing is sent anywhere
    fs::remove_all(folder, ec);
}

}  // namespace
