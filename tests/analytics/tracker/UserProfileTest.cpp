// The user profile: which write each key allows, and the profile records that follow an
// activity, a launch and a login.
#include <gtest/gtest.h>

#include "analytics/core/Sdk.h"
#include "analytics/tracker/source/src/NativeUserTracker.h"
#include "analytics/tracker/source/src/VnException.h"
#include "tests/analytics/tracker/TrackerTestSupport.h"

namespace {

using namespace varnel::tracking;
using trackertest::json;

class UserProfileTest : public trackertest::TrackerTest {
protected:
    // "type:key" of each record, the login flag left out.
    static std::vector<std::string> Writes(const std::vector<json>& records) {
        std::vector<std::string> out;
        for (const json& r : records)
            for (const auto& [key, value] : r["properties"].items())
                if (key != "$is_login_id") out.push_back(r["type"].get<std::string>() + ":" + key);
        return out;
    }
    VnContextProperties none_;
};

TEST_F(UserProfileTest, EachKeyAllowsOnlyTheWritesOfItsRule) {
    auto tracker = Start();
    const auto message = [](const std::function<void()>& call) -> std::string {
        try {
            call();
        } catch (const VnException& e) {
            EXPECT_EQ(e.file(), "NativeUserTracker");
            return e.function() + ": " + e.message();
        }
        return "<no exception>";
    };
    EXPECT_EQ(message([] { NativeUserTracker::ProfileUserPropertyString("vn_paid_count", "1"); }),
              "ProfileUserPropertyString: user property [vn_paid_count] is string type value, it cannot be accumulated!");
    EXPECT_EQ(message([] { NativeUserTracker::ProfileUserPropertyString("vn_shoe_size", "44"); }),
              "ProfileUserPropertyString: Not supported user property [vn_shoe_size]!");
    EXPECT_EQ(message([] { NativeUserTracker::ProfileUserPropertyNumber("vn_ip", 1.5); }), "<no exception>");
    EXPECT_EQ(message([] { NativeUserTracker::ProfileUserPropertyDateTime("vn_visit_count", 1); }),
              "ProfileUserPropertyDateTime: user property [vn_visit_count] is date-time value, it cannot be accumulated!");
    NativeUserTracker::ProfileUserPropertyNumber("vn_consumption", 2.5);
    NativeUserTracker::ProfileUserPropertyNumber("vn_visit_count", 3);
    NativeUserTracker::ProfileUserPropertyString("$ios_install_source", "x");
    ASSERT_TRUE(collect::Sdk::Flush());
    const std::vector<json> records = Take();
    EXPECT_EQ(Writes(records), (std::vector<std::string>{"profile_set:vn_ip", "profile_increment:vn_consumption",
                                                          "profile_increment:vn_visit_count",
                                                          "profile_set_once:$ios_install_source"}));
    EXPECT_EQ(records[1]["properties"]["vn_consumption"], 2.5);
}

TEST_F(UserProfileTest, ALaunchWritesVisitDatesOnlyForAKnownUser) {
    auto tracker = Start();
    tracker->trackLaunch(&none_);
    const std::vector<json> alone = Take();
    ASSERT_EQ(alone.size(), 1u) << "no profile record without a user";
    EXPECT_EQ(Own(alone[0]), json::object()) << "the launch event has no properties of its own";
    VnUserInfo user;
    user.userId = "u-1";
    tracker->trackLogin(user, true, "", &none_);
    Take();
    tracker->trackLaunch(&none_);
    const std::vector<json> records = Take();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0]["event"], "VnEventLaunch");
    EXPECT_EQ(Writes({records[1], records[2], records[3]}),
              (std::vector<std::string>{"profile_set_once:$first_visit_time", "profile_set_once:vn_first_visit_date",
                                        "profile_set:vn_last_visit_date"}));
}

TEST_F(UserProfileTest, LoginProfileLeavesOutZeroDatesAndSendsSecondsAsMilliseconds) {
    auto tracker = Start();
    VnUserInfo user;
    user.userId = "u-9";
    user.userName = "Nine";
    user.userType = VnUserType::Email;
    user.email = "nine@example.test";
    user.created = 1600000000;
    tracker->trackLogin(user, true, "", &none_);
    std::vector<json> records = Take();
    std::vector<json> profile;
    for (const json& r : records)
        if (r["type"].get<std::string>().rfind("profile_", 0) == 0) profile.push_back(r);
    EXPECT_EQ(Writes(profile),
              (std::vector<std::string>{"profile_set:vn_user_id", "profile_set:vn_user_name", "profile_set:vn_user_type",
                                        "profile_set:vn_user_email", "profile_set:vn_user_created",
                                        "profile_set:vn_user_vip_level", "profile_set_once:$first_visit_time",
                                        "profile_set_once:vn_first_visit_date", "profile_set:vn_last_visit_date"}));
    ASSERT_EQ(profile.size(), 9u);
    EXPECT_EQ(profile[2]["properties"]["vn_user_type"], 2);
    EXPECT_EQ(profile[4]["properties"]["vn_user_created"], "2020-09-13 20:26:40.000") << "local time, UTC+8";
    EXPECT_EQ(profile[5]["properties"]["vn_user_vip_level"], 0);
    for (const json& r : profile) EXPECT_EQ(r["distinct_id"], "u-9");
}

TEST_F(UserProfileTest, TwoActivitiesWriteTheFirstVisitTwiceWithTheirRules) {
    auto tracker = Start();
    tracker->trackActivity(&none_);
    tracker->trackActivity(&none_);
    int firstVisitOnce = 0, lastVisitSet = 0;
    for (const json& r : Take()) {
        if (r["type"] == "profile_set_once" && r["properties"].contains("$first_visit_time")) ++firstVisitOnce;
        if (r["type"] == "profile_set" && r["properties"].contains("vn_last_visit_date")) ++lastVisitSet;
    }
    EXPECT_EQ(firstVisitOnce, 2);
    EXPECT_EQ(lastVisitSet, 2);
}

}  // namespace
