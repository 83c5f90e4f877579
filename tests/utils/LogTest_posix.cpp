#include <gtest/gtest.h>

#include <regex>

#include "utils/Log.h"

// Without a sink the trace goes to standard error, one line per statement.
TEST(Log_Channel, LinesGoToStandardError) {
    testing::internal::CaptureStderr();
    QLOG(L"to %s\r\n", L"stderr");
    const std::string out = testing::internal::GetCapturedStderr();
    const std::regex re(R"(^<P\d{5,}><T\d{5,}><[^>]+>\(Log_Channel_LinesGoToStandardError_Test::TestBody\)<\d{4,}>: to stderr\n$)");
    EXPECT_TRUE(std::regex_match(out, re)) << out;
}
