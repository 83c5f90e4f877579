// End to end: the unattended installer against a server that answers ranged requests with the
// whole file, for each download type. Each run must still install, leave no part files and
// report the download as a success.
#include <gtest/gtest.h>

#include "tests/install/UnattendedHarness.h"

namespace fs = std::filesystem;
using installtest::Launch;
using installtest::Result;
using UnattendedRangeTest = installtest::UnattendedTest;
using PackageServer::FaultRule;

TEST_F(UnattendedRangeTest, EveryDownloadTypeInstallsFromAServerThatIgnoresRanges) {
    const int64_t packageBytes = static_cast<int64_t>(fs::file_size(tmp / "www" / "Quorvex_setup.exe"));
    for (const int type : {1, 2, 3}) {
        SCOPED_TRACE(type);
        collector.ClearRecords();
        server->ClearFaults();
        server->ClearRequests();
        // The first transfer breaks, so that a one-connection download resumes with a range and
        // meets a whole-file answer; the multi-connection one meets it from its first part.
        server->AddRule({FaultRule::Action::Drop, packageBytes / 3, 0, 0, -1, 1});
        server->AddRule({FaultRule::Action::IgnoreRange});
        const fs::path folder = tmp / ("type" + std::to_string(type));
        Launch launch{InstallArgs(folder)};
        launch.args.push_back("-downloadtype=" + std::to_string(type));
        if (type == 3) launch.args[2] = "-downloadurl=" + server->DigestUrl("Quorvex_setup.exe");
        const Result result = Run(launch);

        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
        EXPECT_NE(result.out.find("installed: " + folder.string() + "\n"), std::string::npos) << result.out;
        EXPECT_TRUE(fs::exists(folder / "compressor.exe"));
        EXPECT_TRUE(PackageLeftovers(folder).empty()) << testing::PrintToString(PackageLeftovers(folder));
        EXPECT_EQ(Registry("InstallPath"), folder.string());
        // The URL-moniker download starts over rather than resume; the others must have asked
        // for a range and taken the whole file instead.
        bool ranged = false;
        for (const auto& request : server->Requests()) ranged = ranged || !request.range.empty();
        if (type != 2) {
            EXPECT_TRUE(ranged) << "no ranged request reached the server";
        }
        EXPECT_GE(Gets(), 2);
        if (collecting) {
            const auto tasks = Tasks();
            ASSERT_EQ(tasks.size(), 4u) << testing::PrintToString(tasks);
            EXPECT_EQ(tasks[0], "开始下载大包");
            EXPECT_EQ(tasks[1].rfind("大包下载完毕用时", 0), 0u) << tasks[1];
            EXPECT_EQ(tasks[2], "大包下载完毕");
            EXPECT_EQ(tasks[3], "安装成功");
        }
    }
    server->ClearFaults();
}
