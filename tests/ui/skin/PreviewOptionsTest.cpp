// skin-preview's command line: a value it cannot use is refused with a message, never taken.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/skin-preview/PreviewOptions.h"

namespace {

bool Parse(std::vector<std::string> args, PreviewOptions& o, std::string& error) {
    args.insert(args.begin(), "skin-preview");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    return ParsePreviewOptions(static_cast<int>(argv.size()), argv.data(), o, error);
}

TEST(PreviewOptions, TakesScalesAndPagesItCanUse) {
    PreviewOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--layout", "mainWnd.xml", "--scale", "2", "--select", "pages=3"}, o, error)) << error;
    EXPECT_EQ(o.scale, 2.0);
    ASSERT_EQ(o.select.size(), 1u);
    EXPECT_EQ(o.select[0].second, 3);
}

TEST(PreviewOptions, RefusesScalesAndPagesItCannotUse) {
    for (const char* scale : {"nan", "NaN", "inf", "0", "-1", "9", "2x", "", "abc"}) {
        PreviewOptions o;
        std::string error;
        EXPECT_FALSE(Parse({"--layout", "a.xml", "--scale", scale}, o, error)) << scale;
        EXPECT_EQ(error, "bad --scale") << scale;
    }
    for (const char* page : {"pages=x", "pages=", "pages=-1", "pages=1.5", "pages=99999999999"}) {
        PreviewOptions o;
        std::string error;
        EXPECT_FALSE(Parse({"--layout", "a.xml", "--select", page}, o, error)) << page;
    }
}

}  // namespace
