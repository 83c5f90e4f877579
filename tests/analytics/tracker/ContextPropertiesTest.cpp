// The caller's extra properties (A/B rule, registration by kind, value types) and the locale rule
// of the common properties.
#include <gtest/gtest.h>

#include "analytics/core/PropertiesNode.h"
#include "analytics/core/Sdk.h"
#include "analytics/tracker/source/src/CommonProperties.h"
#include "analytics/tracker/source/src/VnContextProperties.h"
#include "analytics/tracker/source/src/VnException.h"
#include "tests/analytics/tracker/TrackerTestSupport.h"

namespace {

using namespace varnel::tracking;
using trackertest::json;

std::string MessageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const VnException& e) {
        return e.message();
    }
    return "<no exception>";
}

TEST(VnContextProperties_ABValue, AcceptsUpToThreeCapitalsOrDigitsAfterACapital) {
    EXPECT_FALSE(VnContextProperties::isValidABValue(""));
    for (const char* good : {"A", "B2", "ZZ9", "IN"}) EXPECT_TRUE(VnContextProperties::isValidABValue(good)) << good;
    EXPECT_EQ(MessageOf([] { VnContextProperties::isValidABValue("ABCD"); }), "value's length is great than 3.");
    EXPECT_EQ(MessageOf([] { VnContextProperties::isValidABValue("a"); }), "First char is not in A to Z");
    EXPECT_EQ(MessageOf([] { VnContextProperties::isValidABValue("1A"); }), "First char is not in A to Z");
    EXPECT_EQ(MessageOf([] { VnContextProperties::isValidABValue("Ab"); }), "second char is not in A to Z and 0 to 9");
    EXPECT_EQ(MessageOf([] { VnContextProperties::isValidABValue("A1-"); }), "third char is not in A to Z and 0 to 9");
}

TEST(VnContextProperties_Registration, NamesAreRegisteredOnceAndKindsUpToTheFirstBadOne) {
    VnContextProperties context;
    context.setProperty("vnc_ab", "B", {7});
    EXPECT_EQ(MessageOf([&] { context.setProperty("vnc_ab", "C", {3}); }), "Property[vnc_ab] already exist!");
    EXPECT_EQ(MessageOf([&] { context.setProperty("vnc_grp", "C", {7, 15, 3}); }), "VnEvent[15] overflow!");
    EXPECT_EQ(MessageOf([&] { context.setProperty("vnc_neg", "C", {-1}); }), "VnEvent[-1] overflow!");
    // A key the collection core would refuse would drop every event of its kinds.
    EXPECT_EQ(MessageOf([&] { context.setProperty("vnc-ab", "C", {7}); }),
              "Property[vnc-ab] is not a valid property name!");
    const auto& task = context.getEventProperties(7);
    ASSERT_EQ(task.size(), 2u);
    EXPECT_EQ(task[0].name, "vnc_ab");
    EXPECT_EQ(task[1].name, "vnc_grp") << "kinds before the overflow stay registered";
    EXPECT_TRUE(context.getEventProperties(3).empty());
    EXPECT_EQ(MessageOf([&] { context.setProperty("vnc_grp", "D", {1}); }), "Property[vnc_grp] already exist!");
    EXPECT_EQ(MessageOf([&] { context.getEventProperties(15); }), "VnEvent[15] overflow!");
    EXPECT_EQ(MessageOf([&] { context.getEventProperties(-3); }), "VnEvent[-3] overflow!");
}

TEST(VnContextProperties_Append, EachValueTypeBecomesItsPropertyAndCopiesShareTheValues) {
    collecttest::UseTestTimeZone();
    collect::PropertiesNode node;
    {
        VnContextProperties original;
        original.setBoolProperty("flag", true, {0});
        original.setNumberProperty("ratio", 0.25, {0});
        original.setDateTimeProperty("when_ms", 1600000000123, {0});
        original.setDateTimeProperty("when_s", 1600000000, {0});
        original.setStringListProperty("tags", {"a", "b"}, {0});
        original.setProperty("name", "x", {0});
        const VnContextProperties copy = original;
        original = VnContextProperties();
        EXPECT_TRUE(copy.appendTo(node, VnEvent::Activity));
        EXPECT_FALSE(copy.appendTo(node, VnEvent::Task));
    }
    EXPECT_EQ(json::parse(node.ToJson()),
              (json{{"flag", true}, {"ratio", 0.25}, {"when_ms", "2020-09-13 20:26:40.123"},
                    {"when_s", "2020-09-13 20:26:40.000"}, {"tags", {"a", "b"}}, {"name", "x"}}));
}

TEST(CommonProperties_Locale, StoredLocaleWithUnderscoreWinsElseTheSystemsWhenComplete) {
    const TrackerEnvironment::LocaleSource system = [] { return std::pair<std::string, std::string>("de", "AT"); };
    const TrackerEnvironment::LocaleSource partial = [] { return std::pair<std::string, std::string>("de", ""); };
    const auto texts = [](const LocaleTexts& t) { return t.locale + "|" + t.language + "|" + t.country; };
    EXPECT_EQ(texts(CommonProperties::resolveLocale("en_US", system)), "en_US|en|US");
    EXPECT_EQ(texts(CommonProperties::resolveLocale("zh_Hant_TW", system)), "zh_Hant_TW|zh|Hant_TW");
    EXPECT_EQ(texts(CommonProperties::resolveLocale("english", system)), "de_AT|de|AT");
    EXPECT_EQ(texts(CommonProperties::resolveLocale("", partial)), "||");
    EXPECT_EQ(texts(CommonProperties::resolveLocale("", nullptr)), "||");
}

class LocaleTest : public trackertest::TrackerTest {};

TEST_F(LocaleTest, SetL10nLocaleReplacesTheThreeLocaleProperties) {
    auto tracker = Start();
    VnContextProperties none;
    VnEventTask task;
    task.name = "before";
    tracker->trackTask(task, &none);
    tracker->setL10nLocale("en_US");
    task.name = "after";
    tracker->trackTask(task, &none);
    tracker->setL10nLocale("english");  // no "_": the system's locale again
    task.name = "system";
    tracker->trackTask(task, &none);
    ASSERT_TRUE(collect::Sdk::Flush());
    const std::vector<json> records = Take();
    ASSERT_EQ(records.size(), 3u);
    const auto locale = [](const json& r) {
        const json& p = r["properties"];
        return p["vn_l10n_locale"].get<std::string>() + "|" + p["vn_l10n_language"].get<std::string>() + "|" +
               p["vn_l10n_country"].get<std::string>();
    };
    EXPECT_EQ(locale(records[0]), "zh_CN|zh|CN");
    EXPECT_EQ(locale(records[1]), "en_US|en|US");
    EXPECT_EQ(locale(records[2]), "zh_CN|zh|CN");
    EXPECT_EQ(tracker->snapshot().locale, "english");
}

}  // namespace
