// The name, identifier and string rules: their boundaries and their exact messages.
#include <gtest/gtest.h>

#include <string>

#include "analytics/core/PropertiesNode.h"
#include "analytics/core/Rules.h"
#include "analytics/core/Sdk.h"
#include "tests/analytics/core/CollectTestSupport.h"

namespace {

using collect::rules::CheckIdentifier;
using collect::rules::CheckName;
using collect::rules::IsValidUtf8;
using collecttest::StderrCapture;

TEST(Rules_NameRule, AcceptsVariableNamesUpToHundredBytes) {
    for (const std::string name : {"a", "Z", "_", "$", "_a1$", "$lib_version", "$SignUp", "x9_$Y"})
        EXPECT_TRUE(CheckName("Event Name", name)) << name;
    EXPECT_TRUE(CheckName("Event Name", "e" + std::string(99, '_')));
}

TEST(Rules_NameRule, RefusesWithTheFixedMessagesAndNoLineBreak) {
    struct Case {
        std::string name, message;
    } cases[] = {
        {"", "The Event Name is empty or too long, max length is 100"},
        {"e" + std::string(100, 'x'), "The Event Name is empty or too long, max length is 100"},
        {"1abc", "The Event Name need to be a valid variable name."},
        {"a-b", "The Event Name need to be a valid variable name."},
        {"a b", "The Event Name need to be a valid variable name."},
        {"caf\xC3\xA9", "The Event Name need to be a valid variable name."},
    };
    for (const Case& c : cases) {
        StderrCapture err;
        EXPECT_FALSE(CheckName("Event Name", c.name)) << c.name;
        EXPECT_EQ(err.Take(), c.message) << c.name;
    }
}

TEST(Rules_IdentifierRule, InitAcceptsTwoHundredFiftyFiveBytesAndRefusesMore) {
    StderrCapture err;
    EXPECT_FALSE(collect::Sdk::Init("", "http://127.0.0.1:1/", std::string(256, 'd'), false));
    EXPECT_FALSE(collect::Sdk::Init("", "http://127.0.0.1:1/", "", false));
    EXPECT_EQ(err.Take(),
              "The Distinct ID is too long, max length is 255.\n"
              "The Distinct ID is empty.\n");
    EXPECT_FALSE(collect::Sdk::IsInitialized());

    EXPECT_TRUE(collect::Sdk::Init("", "http://127.0.0.1:1/", std::string(255, 'd'), false));
    EXPECT_TRUE(collect::Sdk::IsInitialized());
    collect::Sdk::Shutdown();
    EXPECT_FALSE(collect::Sdk::IsInitialized());
}

TEST(Rules_Utf8, AcceptsWellFormedTextAndTheThreeWhiteSpaceControls) {
    const std::string good[] = {
        "plain ascii ~",
        "tab\there, lf\nthere, cr\r",
        "\xC2\x80 \xDF\xBF",                 // two-byte ends
        "\xE0\xA0\x80 \xEF\xBF\xBF",         // three-byte ends
        "\xED\x9F\xBF",                      // last code point before the surrogates
        "\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF",  // four-byte ends
        "\xE5\xAE\x89\xE8\xA3\x85\xE6\x88\x90\xE5\x8A\x9F",  // 安装成功
    };
    for (const std::string& s : good) EXPECT_TRUE(IsValidUtf8(s)) << s;
}

TEST(Rules_Utf8, RefusesControlBytesOverlongFormsSurrogatesAndTruncation) {
    const std::string bad[] = {
        std::string("a\0b", 3), "\x01", "\x08", "\x0B", "\x0C", "\x1F", "\x7F",
        "\xC0\x80",          // overlong NUL
        "\xC1\xBF",          // overlong
        "\xE0\x9F\xBF",      // overlong three-byte
        "\xED\xA0\x80",      // surrogate
        "\xF0\x8F\xBF\xBF",  // overlong four-byte
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xF5\x80\x80\x80", "\x80", "\xBF",
        "\xC3",              // cut short
        "\xE5\xAE",          // cut short
        "\xE5\x41\x89",      // bad continuation
    };
    for (const std::string& s : bad) EXPECT_FALSE(IsValidUtf8(s)) << testing::PrintToString(s);
}

TEST(Rules_StringValue, KeepsEightThousandOneHundredNinetyTwoBytesAndRefusesOneMore) {
    collect::PropertiesNode p;
    const std::string fits(8192, 'v');
    EXPECT_TRUE(p.SetString("k", fits));
    ASSERT_NE(p.Find("k"), nullptr);
    EXPECT_EQ(p.Find("k")->AsString(), fits);

    StderrCapture err;
    const std::string tooLong(8193, 'w');
    EXPECT_FALSE(p.SetString("k", tooLong));
    EXPECT_EQ(err.Take(), "String property 'k' is too long, value: " + tooLong + "\n");
    // The refused value leaves the key as it was.
    EXPECT_EQ(p.Find("k")->AsString(), fits);
}

TEST(Rules_StringValue, KeepsATabAndRefusesByteOneAndTheOverlongNul) {
    collect::PropertiesNode p;
    EXPECT_TRUE(p.SetString("tab", "a\tb"));
    StderrCapture err;
    EXPECT_FALSE(p.SetString("one", "a\x01" "b"));
    EXPECT_FALSE(p.SetString("nul", std::string("a\xC0\x80" "b")));
    EXPECT_FALSE(p.SetString("null", static_cast<const char*>(nullptr)));
    EXPECT_EQ(err.Take(),
              "String property 'one' is not valid UTF-8 string, value: a\x01" "b\n"
              "String property 'nul' is not valid UTF-8 string, value: a\xC0\x80" "b\n");
    EXPECT_TRUE(p.Contains("tab"));
    EXPECT_FALSE(p.Contains("one"));
    EXPECT_FALSE(p.Contains("nul"));
    EXPECT_FALSE(p.Contains("null"));
}

TEST(Rules_PropertyCheck, StopsAtTheFirstBadKeyOrType) {
    struct Case {
        const char* what;
        collect::PropertiesNode properties;
        std::string message;
    };
    std::vector<Case> cases(4);
    cases[0].what = "bad key";
    cases[0].properties.SetBool("ok", true);
    cases[0].properties.SetBool("not-ok", true);
    cases[0].message = "The Property Key need to be a valid variable name.";
    cases[1].what = "$time as a string";
    cases[1].properties.SetString("$time", "2024-01-01");
    cases[1].message = "The property '$time' should be DateTime type.";
    cases[2].what = "$project as a number";
    cases[2].properties.SetNumber("$project", 7);
    cases[2].message = "The property '$project' should be String type.";
    cases[3].what = "good map";
    cases[3].properties.SetDateTime("$time", 1, 2);
    cases[3].properties.SetString("$project", "p");
    for (Case& c : cases) {
        StderrCapture err;
        EXPECT_EQ(c.properties.Check(), c.message.empty()) << c.what;
        EXPECT_EQ(err.Take(), c.message) << c.what;
    }
}

}  // namespace
