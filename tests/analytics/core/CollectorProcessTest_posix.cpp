// The test collector as a separate program ended by SIGTERM, the way a shell script uses it.
// POSIX only: the Windows collector ends on a console control event instead.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "analytics/core/HttpRequest.h"
#include "analytics/core/RecordStore.h"
#include "tests/analytics/core/CollectTestSupport.h"

extern char** environ;

namespace {

using collecttest::NumberedRecord;
using testsupport::ReadFile;

class CollectorProcess {
public:
    explicit CollectorProcess(const testsupport::TempDir& temp) : portFile_(temp / "port"), records_(temp / "records") {
        std::vector<std::string> args = {QV_TEST_COLLECTOR, "--port-file", portFile_.string(), "--records",
                                         records_.string(), "--status", "503", "--quiet"};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    }
    ~CollectorProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    // The port once the program has written it (within five seconds), else 0.
    int Port() const {
        for (int i = 0; i < 500; ++i) {
            const std::string text = ReadFile(portFile_);
            if (!text.empty()) return std::atoi(text.c_str());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }
    // Sends SIGTERM and returns the exit status (-1 if it did not end normally).
    int Terminate() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::filesystem::path& RecordsFile() const { return records_; }
    bool Running() const { return pid_ > 0; }

private:
    std::filesystem::path portFile_, records_;
    pid_t pid_ = -1;
};

TEST(CollectorProgram_Shell, StartsFaultyTakesControlCommandsAndWritesRecordLines) {
    testsupport::TempDir temp;
    CollectorProcess process(temp);
    ASSERT_TRUE(process.Running());
    const int port = process.Port();
    ASSERT_GT(port, 0);
    const std::string base = "http://127.0.0.1:" + std::to_string(port);

    collect::RecordStore store(base + "/collect?project=pc", (temp / "staging").string());
    for (int i = 0; i < 3; ++i) store.Add(NumberedRecord(i));
    {
        collecttest::StderrCapture err;
        EXPECT_FALSE(store.FlushAll()) << "started with --status 503";
    }
    EXPECT_EQ(collect::HttpRequest(base + "/_collector/normal", "").Perform().code, 200);
    EXPECT_TRUE(store.FlushAll());

    const collect::HttpResponse records = collect::HttpRequest(base + "/_collector/records", "").Perform();
    EXPECT_EQ(records.body, "[{\"n\":0},{\"n\":1},{\"n\":2}]");
    const collect::HttpResponse requests = collect::HttpRequest(base + "/_collector/requests", "").Perform();
    EXPECT_NE(requests.body.find("\"status\":503"), std::string::npos);
    EXPECT_EQ(collect::HttpRequest(base + "/_collector/bogus", "").Perform().code, 404);

    EXPECT_EQ(process.Terminate(), 0);
    EXPECT_EQ(ReadFile(process.RecordsFile()), "{\"n\":0}\n{\"n\":1}\n{\"n\":2}\n");
}

}  // namespace
