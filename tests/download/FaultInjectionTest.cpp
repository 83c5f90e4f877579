// Transfers broken at random offsets: every downloader must end either with 1003 and a file
// identical to the source, or with 1004 and no target file; never 1003 with a wrong file. Some
// trials must succeed.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/download/AnyDownloader.h"

using namespace DownloadTest;
using PackageServer::FaultRule;

namespace {

struct Outcome {
    int finalCode = 0;
    bool identical = false;
    bool targetExists = false;
};

Outcome Run(Kind kind, const std::string& url, const std::string& source, const std::string& target) {
    AnyDownload download(kind, url, target);
    Outcome outcome;
    if (!download.Run()) return outcome;
    outcome.finalCode = download.events.Last().code;
    outcome.targetExists = Exists(target);
    outcome.identical = SameContent(source, target);
    return outcome;
}

void Check(Kind kind, int64_t size, double dropProbability, int trials, bool withDigest) {
    TempDir root, out;
    WriteRandomFile(root.File("pkg.bin"), size, 77);
    TestServer server(root.Path());
    int successes = 0, failures = 0;
    for (int trial = 0; trial < trials; ++trial) {
        server->ClearFaults();
        server->SetRandomDrops(dropProbability, 1000 + trial);
        // Every third trial the server also ignores ranges on its first answers.
        if (trial % 3 == 2) server->AddRule({FaultRule::Action::IgnoreRange, 0, 0, 0, -1, 2});
        const std::string url = withDigest ? server->DigestUrl("pkg.bin") : server->FileUrl("pkg.bin");
        const std::string target = out.File("t" + std::to_string(trial) + ".bin");
        const Outcome o = Run(kind, url, root.File("pkg.bin"), target);
        if (o.finalCode == DL_CODE_SUCCESS) {
            EXPECT_TRUE(o.identical) << "trial " << trial << ": success with a wrong file";
            ++successes;
        } else {
            EXPECT_EQ(o.finalCode, DL_CODE_FAIL) << "trial " << trial << ": no final event";
            EXPECT_FALSE(o.targetExists) << "trial " << trial << ": a failed run left a target file";
            ++failures;
        }
    }
    std::printf("%d successes, %d failures\n", successes, failures);
    // The drops are frequent but not certain and resumes carry progress over: a downloader that
    // never gets a file through is broken, however cleanly it fails.
    EXPECT_GT(successes, 0) << "no trial succeeded";
}

TEST(FaultInjection, CCurlDownloader_RandomBreaksNeverYieldAWrongFile) {
    Check(Kind::Single, 2 << 20, 0.7, 4, true);
}

TEST(FaultInjection, CMTCurlDownloader_RandomBreaksNeverYieldAWrongFile) {
    // Without a digest in the address the range checks alone must keep the parts right.
    Check(Kind::Multi, 21 << 20, 0.7, 2, false);
    Check(Kind::Multi, 21 << 20, 0.7, 2, true);
}

TEST(FaultInjection, CWinDownloader_RandomBreaksNeverYieldAWrongFile) {
    Check(Kind::UrlMoniker, 2 << 20, 0.6, 3, false);
}

}  // namespace
