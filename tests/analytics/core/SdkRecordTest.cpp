// Records made by the collection instance, checked byte for byte as the collector receives them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "analytics/core/RecordBuilder.h"
#include "analytics/core/Sdk.h"
#include "tests/analytics/core/CollectTestSupport.h"

namespace {

using collect::PropertiesNode;
using collect::Sdk;
using collecttest::StderrCapture;
using nlohmann::json;

constexpr char kLib[] = "\"lib\":{\"$lib\":\"cpp\",\"$lib_method\":\"code\",\"$lib_version\":\"0.7\"}";

class SdkRecordTest : public collecttest::CollectorTest {
protected:
    void SetUp() override {
        CollectorTest::SetUp();
        ASSERT_TRUE(Sdk::Init("", collector_.Url(), "device-1", false));
    }
    // Sends everything queued and returns what the collector kept since the last call.
    std::vector<std::string> Sent() {
        EXPECT_TRUE(Sdk::Flush());
        std::vector<std::string> records = collector_.RecordTexts();
        collector_.ClearRecords();
        return records;
    }
    static PropertiesNode At(std::int64_t seconds, std::int32_t ms) {
        PropertiesNode p;
        p.SetDateTime("$time", seconds, ms);
        return p;
    }
};

TEST_F(SdkRecordTest, TrackRecordHasTheFixedKeyOrderAndFormats) {
    PropertiesNode p = At(1700000000, 123);
    p.SetNumber("float", 1234567.0);
    p.SetNumber("int", 1234567);
    p.SetString("Name", "x");
    Sdk::Track("VnEventTask", p);
    EXPECT_EQ(Sent(), std::vector<std::string>{
                          "{\"distinct_id\":\"device-1\",\"event\":\"VnEventTask\"," + std::string(kLib) +
                          ",\"properties\":{\"$lib\":\"cpp\",\"$lib_version\":\"0.7\",\"Name\":\"x\","
                          "\"float\":1.23457e+06,\"int\":1234567},\"time\":1700000000123,\"type\":\"track\"}"});
}

TEST_F(SdkRecordTest, SuperPropertiesGoOnlyOnTrackRecordsAndTheLoginFlagOnEvery) {
    PropertiesNode super;
    super.SetString("vn_sdk", "WindowsCPP");
    Sdk::RegisterSuperProperties(super);
    Sdk::Identify("user-7", true);
    Sdk::Track("E", At(1, 0));
    Sdk::ProfileSet("vn_name", std::string("N"));
    Sdk::ProfileSetOnce("vn_first", 3);
    Sdk::ProfileIncrement("vn_count", 2);
    Sdk::ProfileAppend("vn_list", "item");
    Sdk::ProfileSet("vn_ratio", 0.5);
    const std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[0], "{\"distinct_id\":\"user-7\",\"event\":\"E\"," + std::string(kLib) +
                           ",\"properties\":{\"$is_login_id\":true,\"$lib\":\"cpp\",\"$lib_version\":\"0.7\","
                           "\"vn_sdk\":\"WindowsCPP\"},\"time\":1000,\"type\":\"track\"}");
    const auto tail = [](const std::string& r) { return r.substr(r.find("\"properties\"")); };
    const auto head = [](const std::string& r) { return r.substr(0, r.find("\"properties\"")); };
    EXPECT_EQ(head(sent[1]), "{\"distinct_id\":\"user-7\"," + std::string(kLib) + ",");
    EXPECT_EQ(tail(sent[1]).rfind("\"properties\":{\"$is_login_id\":true,\"vn_name\":\"N\"},\"time\":", 0), 0u);
    EXPECT_NE(sent[1].find("\"type\":\"profile_set\"}"), std::string::npos);
    EXPECT_NE(sent[2].find("\"properties\":{\"$is_login_id\":true,\"vn_first\":3},"), std::string::npos);
    EXPECT_NE(sent[2].find("\"type\":\"profile_set_once\"}"), std::string::npos);
    EXPECT_NE(sent[3].find("\"properties\":{\"$is_login_id\":true,\"vn_count\":2},"), std::string::npos);
    EXPECT_NE(sent[3].find("\"type\":\"profile_increment\"}"), std::string::npos);
    EXPECT_NE(sent[4].find("\"properties\":{\"$is_login_id\":true,\"vn_list\":[\"item\"]},"), std::string::npos);
    EXPECT_NE(sent[4].find("\"type\":\"profile_append\"}"), std::string::npos);
    EXPECT_NE(sent[5].find("\"vn_ratio\":0.5"), std::string::npos);
    for (std::size_t i = 1; i < sent.size(); ++i) EXPECT_EQ(sent[i].find("\"event\""), std::string::npos) << sent[i];
}

TEST_F(SdkRecordTest, TimePropertyBecomesTheRecordTimeOrDropsTheRecord) {
    Sdk::Track("WithTime", At(1700000000, 5));
    PropertiesNode text;
    text.SetString("$time", "2024-01-01 00:00:00");
    StderrCapture err;
    Sdk::Track("TimeAsText", text);
    EXPECT_EQ(err.Take(), "The property '$time' should be DateTime type.");

    const std::int64_t before = collect::detail::NowMilliseconds();
    Sdk::Track("NoTime");
    const std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_NE(sent[0].find("\"properties\":{\"$lib\":\"cpp\",\"$lib_version\":\"0.7\"},\"time\":1700000000005,"),
              std::string::npos);
    const json now = json::parse(sent[1]);
    EXPECT_GE(now["time"].get<std::int64_t>(), before);
    EXPECT_LE(now["time"].get<std::int64_t>(), collect::detail::NowMilliseconds());
}

TEST_F(SdkRecordTest, ProjectPropertyMovesToTheTopLevelWhenNotEmpty) {
    PropertiesNode named = At(2, 0);
    named.SetString("$project", "installer");
    Sdk::Track("Named", named);
    PropertiesNode empty = At(2, 0);
    empty.SetString("$project", "");
    Sdk::Track("Empty", empty);
    const std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], "{\"distinct_id\":\"device-1\",\"event\":\"Named\"," + std::string(kLib) +
                           ",\"project\":\"installer\",\"properties\":{\"$lib\":\"cpp\",\"$lib_version\":\"0.7\"},"
                           "\"time\":2000,\"type\":\"track\"}");
    EXPECT_EQ(sent[1].find("project"), std::string::npos);
}

TEST_F(SdkRecordTest, BadEventNamesAndKeysDropTheRecord) {
    StderrCapture err;
    Sdk::Track("1st");
    Sdk::Track("");
    PropertiesNode badKey;
    badKey.SetBool("has space", true);
    Sdk::Track("Good", badKey);
    Sdk::ProfileSet(badKey);
    EXPECT_EQ(err.Take(),
              "The Event Name need to be a valid variable name."
              "The Event Name is empty or too long, max length is 100"
              "The Property Key need to be a valid variable name."
              "The Property Key need to be a valid variable name.");
    EXPECT_TRUE(Sent().empty());
}

TEST_F(SdkRecordTest, LoginSendsASignUpRecordThenSwitchesIdentity) {
    Sdk::Login("account-9");
    Sdk::Track("After", At(3, 0));
    const std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    const json signup = json::parse(sent[0]);
    EXPECT_EQ(signup["type"], "track_signup");
    EXPECT_EQ(signup["event"], "$SignUp");
    EXPECT_EQ(signup["distinct_id"], "account-9");
    EXPECT_EQ(signup["original_id"], "device-1");
    // The flag was still off when the sign-up record was made.
    EXPECT_EQ(signup["properties"], (json{{"$lib", "cpp"}, {"$lib_version", "0.7"}}));
    EXPECT_NE(sent[1].find("{\"distinct_id\":\"account-9\",\"event\":\"After\""), std::string::npos);
    EXPECT_NE(sent[1].find("\"$is_login_id\":true"), std::string::npos);
}

TEST_F(SdkRecordTest, LoginWithAnEmptyDistinctIdDropsTheSignUpButStillSwitches) {
    Sdk::Identify("", false);
    StderrCapture err;
    Sdk::Login("account-9");
    EXPECT_EQ(err.Take(), "The Original ID is empty.\n");
    Sdk::Track("After");
    const std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    const json after = json::parse(sent[0]);
    EXPECT_EQ(after["distinct_id"], "account-9");
    EXPECT_EQ(after["properties"]["$is_login_id"], true);
}

TEST_F(SdkRecordTest, TrackInstallationStartsFromAnEmptyInstallSource) {
    PropertiesNode p = At(4, 0);
    p.SetString("k", "v");
    Sdk::TrackInstallation("VnEventActivity", p);
    PropertiesNode overriding;
    overriding.SetString("$ios_install_source", "android_id=123");
    Sdk::TrackInstallation("VnEventActivity", overriding);
    const std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_NE(sent[0].find("\"properties\":{\"$ios_install_source\":\"\",\"$lib\":\"cpp\",\"$lib_version\":\"0.7\","
                           "\"k\":\"v\"}"),
              std::string::npos);
    EXPECT_EQ(json::parse(sent[1])["properties"]["$ios_install_source"], "android_id=123");
}

TEST_F(SdkRecordTest, SuperPropertiesChangeButAKeyThatBreaksTheNameRuleStaysOut) {
    PropertiesNode first;
    first.SetString("vn_locale", "en");
    first.SetString("bad\"key", "would break every record");
    StderrCapture err;
    Sdk::RegisterSuperProperties(first);
    EXPECT_EQ(err.Take(), "The Property Key need to be a valid variable name.");
    PropertiesNode second;
    second.SetString("vn_locale", "zh");
    second.SetString("$lib", "replaced");
    Sdk::RegisterSuperProperties(second);
    Sdk::Track("E");
    const json record = json::parse(Sent().at(0));
    EXPECT_EQ(record["properties"], (json{{"$lib", "replaced"}, {"$lib_version", "0.7"}, {"vn_locale", "zh"}}));
    EXPECT_EQ(record["lib"]["$lib"], "cpp");
}

TEST_F(SdkRecordTest, EveryRecordParsesAndRoundTripsItsStrings) {
    const std::string texts[] = {
        "tab\tlf\ncr\rquote\"backslash\\",
        "\xE5\xAE\x89\xE8\xA3\x85 \xF0\x9F\x98\x80",  // Chinese and an emoji
        "</script>{\"not\":\"json\"}",
        std::string(8192, 'z'),
    };
    Sdk::Identify("id with \"quotes\" and \\", false);
    for (const std::string& text : texts) {
        PropertiesNode p;
        p.SetString("text", text);
        Sdk::Track("E", p);
        Sdk::ProfileAppend("list", text);
        Sdk::ProfileSet("text", text);
    }
    const std::vector<std::string> all = Sent();
    ASSERT_EQ(all.size(), 12u);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const json record = json::parse(all[i]);  // throws (fails the test) on invalid JSON
        EXPECT_EQ(record["distinct_id"], "id with \"quotes\" and \\");
        const std::string& text = texts[i / 3];
        if (i % 3 == 1) {
            EXPECT_EQ(record["properties"]["list"], json::array({text}));
        } else {
            EXPECT_EQ(record["properties"]["text"], text);
        }
    }
}

TEST(Sdk_Lifecycle, CallsWithoutAnInstanceAreIgnored) {
    EXPECT_FALSE(Sdk::IsInitialized());
    PropertiesNode p;
    p.SetString("k", "v");
    Sdk::Track("E", p);
    Sdk::Login("x");
    Sdk::ProfileAppend("k", "v");
    Sdk::RegisterSuperProperties(p);
    EXPECT_FALSE(Sdk::Flush());
    Sdk::Shutdown();
    EXPECT_EQ(Sdk::Store(), nullptr);
}

TEST_F(SdkRecordTest, ASecondInitKeepsTheFirstInstance) {
    ASSERT_TRUE(Sdk::Init("", "http://127.0.0.1:1/elsewhere", "device-2", true));
    Sdk::Track("E");
    const json record = json::parse(Sent().at(0));
    EXPECT_EQ(record["distinct_id"], "device-1");
    EXPECT_FALSE(record["properties"].contains("$is_login_id"));
    StderrCapture err;
    EXPECT_FALSE(Sdk::Init("", collector_.Url(), "", false));
    EXPECT_EQ(err.Take(), "The Distinct ID is empty.\n");
    EXPECT_TRUE(Sdk::IsInitialized());
}

}  // namespace
