// Logins: the event, the move from the anonymous id to the user id, and what a second login
// changes.
#include <gtest/gtest.h>

#include "tests/analytics/tracker/TrackerTestSupport.h"

namespace {

using namespace varnel::tracking;
using trackertest::IniValue;
using trackertest::json;

class LoginTest : public trackertest::TrackerTest {
protected:
    std::vector<json> Login(UsageTrackerImpl& tracker, const std::string& userId, int vipLevel, bool success = true,
                            const std::string& reason = "") {
        VnUserInfo user;
        user.userId = userId;
        user.userType = VnUserType::VarnelUserId;
        user.vipLevel = vipLevel;
        tracker.trackLogin(user, success, reason, &none_);  // flushes by itself
        return Take();
    }
    static std::vector<std::string> Events(const std::vector<json>& records) {
        std::vector<std::string> out;
        for (const json& r : records)
            if (r.contains("event")) out.push_back(r["event"].get<std::string>() + "@" + r["distinct_id"].get<std::string>());
        return out;
    }
    VnContextProperties none_;
};

TEST_F(LoginTest, WithoutAUserIdOnlyTheEventIsSentAndTheStateStays) {
    auto tracker = Start();
    const std::string device = tracker->snapshot().distinctId;
    const std::vector<json> records = Login(*tracker, "", 4, false, "wrong password");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(Own(records[0]), (json{{"vn_type", "varneluserid"}, {"vn_result", "Fail"}, {"vn_reason", "wrong password"}}));
    const auto s = tracker->snapshot();
    EXPECT_FALSE(s.loggedIn);
    EXPECT_EQ(s.distinctId, device);
    EXPECT_EQ(s.vipLevel, 0);
}

TEST_F(LoginTest, AFirstLoginSignsUpAndEverythingAfterCarriesTheUserId) {
    auto tracker = Start();
    const std::string device = tracker->snapshot().distinctId;
    const std::vector<json> records = Login(*tracker, "u-1", 2);
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records[0]["distinct_id"], device);
    EXPECT_EQ(records[0]["properties"]["vn_user_id"], "u-1");
    EXPECT_EQ(Own(records[0]), (json{{"vn_login_id", "u-1"}, {"vn_type", "varneluserid"}, {"vn_result", "Success"},
                                     {"$is_first_time", true}}));
    EXPECT_EQ(records[1]["type"], "track_signup");
    EXPECT_EQ(records[1]["original_id"], device);
    EXPECT_EQ(records[1]["distinct_id"], "u-1");
    for (std::size_t i = 2; i < records.size(); ++i) {
        EXPECT_EQ(records[i]["distinct_id"], "u-1");
        EXPECT_EQ(records[i]["properties"]["$is_login_id"], true);
    }
    tracker->trackCrash("");
    const json crash = Take().at(0);
    EXPECT_EQ(crash["distinct_id"], "u-1");
    EXPECT_EQ(crash["properties"]["vn_user_id"], "u-1") << "registered as a common property";
    EXPECT_EQ(IniValue(ConfigFile(), "Base", "isLogined"), "OK");
    EXPECT_EQ(IniValue(ConfigFile(), "Base", "UserId"), "u-1");
    EXPECT_EQ(IniValue(ConfigFile(), "Base", "DistinctId"), "u-1");
    EXPECT_EQ(IniValue(ConfigFile(), "Base", "UserVipLevel"), "2");
}

TEST_F(LoginTest, TheSameUserAgainChangesOnlyTheVipLevelAnotherUserTakesOverWithoutMerging) {
    auto tracker = Start();
    Login(*tracker, "u-1", 1);
    std::vector<json> again = Login(*tracker, "u-1", 5);
    EXPECT_EQ(Events(again), (std::vector<std::string>{"VnEventLogin@u-1"})) << "no second sign-up";
    EXPECT_EQ(tracker->snapshot().vipLevel, 5);

    // A sign-up would link the two accounts on the service; the new user only replaces the old.
    const std::vector<json> other = Login(*tracker, "u-2", 0);
    EXPECT_EQ(Events(other), (std::vector<std::string>{"VnEventLogin@u-1"}));
    for (std::size_t i = 1; i < other.size(); ++i) EXPECT_EQ(other[i]["distinct_id"], "u-2") << other[i].dump();
    EXPECT_EQ(other[1]["properties"]["vn_user_id"], "u-2");
    EXPECT_EQ(tracker->snapshot().userId, "u-2");
    EXPECT_EQ(IniValue(ConfigFile(), "Base", "UserId"), "u-2");
}

TEST_F(LoginTest, ALoginSurvivesTheNextRun) {
    {
        auto tracker = Start();
        Login(*tracker, "u-3", 1);
    }
    auto tracker = Start();
    EXPECT_TRUE(tracker->snapshot().loggedIn);
    tracker->trackCrash("");
    const json crash = Take().at(0);
    EXPECT_EQ(crash["distinct_id"], "u-3");
    EXPECT_EQ(crash["properties"]["vn_user_id"], "u-3");
    EXPECT_EQ(crash["properties"]["$is_login_id"], true);
}

}  // namespace
