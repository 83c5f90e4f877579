// The JSON text of property maps: key order, value formats, escapes, and locale independence.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <locale>
#include <sstream>

#include "analytics/core/ObjectNode.h"
#include "analytics/core/PropertiesNode.h"
#include "tests/analytics/core/CollectTestSupport.h"

namespace {

using collect::PropertiesNode;
using collect::utils::ObjectNode;

TEST(ObjectNode_Json, OrdersKeysByteByByteWithTheShorterKeyFirst) {
    PropertiesNode p;
    for (const char* key : {"b", "ab", "a", "_x", "Zed", "$lib", "aa", "$is_login_id", "A"}) p.SetBool(key, true);
    EXPECT_EQ(p.ToJson(),
              "{\"$is_login_id\":true,\"$lib\":true,\"A\":true,\"Zed\":true,\"_x\":true,\"a\":true,"
              "\"aa\":true,\"ab\":true,\"b\":true}");
}

TEST(ObjectNode_Json, WritesEveryValueTypeInItsFixedForm) {
    PropertiesNode p;
    p.SetNumber("f_half", 2.5);
    p.SetNumber("f_hundred", 100.0);
    p.SetNumber("f_big", 1234567.0);
    p.SetNumber("f_small", 0.000012345678);
    p.SetNumber("i_big", 1234567);
    p.SetNumber("i_neg", -2147483647 - 1);
    p.SetBool("b", false);
    p.SetDateTime("d", 1700000000, 7);  // 2023-11-14 22:13:20 UTC, shown at UTC+8
    p.SetList("l", {"x", "y\"z"});
    p.SetString("s", "tab\t lf\n cr\r quote\" backslash\\ slash/ \xE6\x88\x90");
    EXPECT_EQ(p.ToJson(),
              "{\"b\":false,\"d\":\"2023-11-15 06:13:20.007\",\"f_big\":1.23457e+06,\"f_half\":2.5,"
              "\"f_hundred\":100,\"f_small\":1.23457e-05,\"i_big\":1234567,\"i_neg\":-2147483648,"
              "\"l\":[\"x\",\"y\\\"z\"],"
              "\"s\":\"tab\\t lf\\n cr\\r quote\\\" backslash\\\\ slash/ \xE6\x88\x90\"}");
}

TEST(ObjectNode_Json, FloatsMatchADefaultFormattedStream) {
    for (const double v : {0.0, -0.0, 1.0, 0.1, 1e21, 123456.0, 1234567.0, 9.999995e-5, -3.75, 1e-300}) {
        std::ostringstream stream;
        stream << v;
        PropertiesNode p;
        p.SetNumber("v", v);
        EXPECT_EQ(p.ToJson(), "{\"v\":" + stream.str() + "}") << v;
    }
}

// A numpunct that writes the decimal point as a comma, as many locales do.
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

TEST(ObjectNode_Json, FloatTextIgnoresTheProcessLocale) {
    const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    PropertiesNode p;
    p.SetNumber("v", 2.5);
    p.SetNumber("w", 1234567.0);
    const std::string json = p.ToJson();
    std::locale::global(saved);
    EXPECT_EQ(json, "{\"v\":2.5,\"w\":1.23457e+06}");
}

TEST(PropertiesNode_Values, RefusesNumbersWithoutAJsonForm) {
    PropertiesNode p;
    collecttest::StderrCapture err;
    EXPECT_FALSE(p.SetNumber("nan", std::nan("")));
    EXPECT_FALSE(p.SetNumber("inf", HUGE_VAL));
    EXPECT_EQ(err.Take(),
              "Number property 'nan' is not a finite number, value: nan\n"
              "Number property 'inf' is not a finite number, value: inf\n");
    EXPECT_EQ(p.ToJson(), "{}");
}

TEST(PropertiesNode_Values, SettersReplaceAndMergeOverwritesEqualKeys) {
    PropertiesNode a;
    a.SetNumber("k", 1);
    a.SetString("k", "text");  // a new type replaces the old value
    a.SetBool("only_a", true);
    PropertiesNode b;
    b.SetNumber("k", 2.0);
    b.SetString("only_b", "b");
    a.Merge(b);
    EXPECT_EQ(a.ToJson(), "{\"k\":2,\"only_a\":true,\"only_b\":\"b\"}");
}

TEST(PropertiesNode_Values, TakesNoNestedObjectWhileAPlainObjectNodeDoes) {
    PropertiesNode inner;
    inner.SetNumber("x", 1);
    PropertiesNode p;
    p.SetObject("o", inner);
    EXPECT_EQ(p.ToJson(), "{}");

    ObjectNode plain;
    plain.SetObject("o", inner);
    inner.SetNumber("x", 2);  // the stored object is a copy
    EXPECT_EQ(plain.ToJson(), "{\"o\":{\"x\":1}}");

    // Through a base reference the override still applies.
    ObjectNode& base = p;
    base.SetObject("o", inner);
    EXPECT_EQ(p.ToJson(), "{}");
}

}  // namespace
