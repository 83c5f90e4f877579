// The test collector as a separate program, the way a shell or a later test uses it.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "analytics/core/UploadEncoding.h"
#include "tools/collector/UploadDecoder.h"
#include "utils/PipedProcess.h"

namespace {

// Exit status 2 and a usage line for an option out of range (no shell: the program is started
// directly, its standard error read through a pipe).
TEST(CollectorProgram_Options, RefusesBadOptions) {
    Utils::PipedProcess process;
    process.Start(std::vector<std::string>{QV_TEST_COLLECTOR, "--status", "99"});
    std::string errors;
    char buffer[512];
    for (;;) {
        const std::ptrdiff_t n = process.StdErr().Read(buffer, sizeof buffer);
        if (n <= 0) break;
        errors.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(process.Wait(), 2);
    EXPECT_NE(errors.find("--status wants 100 to 599"), std::string::npos) << errors;
}

TEST(CollectorDecoder_Body, RefusesMalformedLayers) {
    using collector::DecodeUploadBody;
    const std::string good = *collect::detail::BuildUploadBody("[{\"a\":1}]");
    EXPECT_TRUE(DecodeUploadBody(good).ok);
    EXPECT_EQ(DecodeUploadBody("gzip=1").error, "no data_list field");
    EXPECT_EQ(DecodeUploadBody("data_list=%4&gzip=1").error, "data_list has a bad percent escape");
    EXPECT_EQ(DecodeUploadBody("data_list=abc&gzip=1").error, "data_list is not valid base64");
    EXPECT_EQ(DecodeUploadBody("data_list=YWJj&gzip=1").error, "data_list is not a complete gzip stream");
    EXPECT_EQ(DecodeUploadBody("data_list=" + collect::detail::PercentEncode(collect::detail::Base64Encode("{}")))
                  .error,
              "batch is not a JSON array");
    EXPECT_EQ(DecodeUploadBody("data_list=" + collect::detail::PercentEncode(collect::detail::Base64Encode("[1]")))
                  .error,
              "batch element is not a JSON object");
    const std::string cut = good.substr(0, good.size() - 7 - 8) + "&gzip=1";
    EXPECT_FALSE(DecodeUploadBody(cut).ok);
}

}  // namespace
