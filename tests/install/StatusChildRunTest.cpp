// StatusChildRun with real child processes: the test probe acts as package, printing status
// lines, starting a child of its own, staying silent or staying on after its final line; a
// small host program acts as the installer that can be killed outright.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "install/StatusChildRun.h"
#include "tests/install/ChildProcessProbe.h"
#include "tests/support/TempDir.h"
#include "utils/CommandLine.h"
#include "utils/PipedProcess.h"
#include "utils/StringUtils.h"

namespace {

using End = StatusChildRun::End;

std::wstring ProbePath() { return Utils::FromUtf8(CHILD_PROBE); }

// The probe's command line running `steps` (see the probe's "script" mode).
std::wstring Script(const std::vector<std::string>& steps) {
    std::wstring line = Utils::QuoteArgument(ProbePath()) + L" script";
    for (const auto& step : steps) line += L" " + Utils::QuoteArgument(Utils::FromUtf8(step));
    return line;
}

std::string PidsStep(const std::filesystem::path& file) { return "pids:" + file.string(); }

// The probe's id and the id of the child it started, once written.
bool ReadPids(const std::filesystem::path& file, long long& probe, long long& child) {
    for (int i = 0; i < 500; ++i) {
        std::ifstream in(file);
        if (in >> probe >> child && child > 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Sets a limit for the children and hosts a test starts; removed again at the end.
class ScopedLimit {
public:
    ScopedLimit(const char* name, const char* ms) : name_(name) { childtest::SetEnv(name, ms); }
    ~ScopedLimit() { childtest::SetEnv(name_, nullptr); }
    ScopedLimit(const ScopedLimit&) = delete;
    ScopedLimit& operator=(const ScopedLimit&) = delete;

private:
    const char* name_;
};

class StatusChildRunTest : public ::testing::Test {
protected:
    StatusChildRun::Result Run(const std::vector<std::string>& steps) {
        StatusChildRun run;
        return run.Run(ProbePath(), Script(steps), [this](std::string_view line) {
            lines.emplace_back(line);
            if (line == "State=Success") return 1;
            if (line == "State=Fail") return 1000;
            return 0;
        });
    }

    // Starts the host (the installer's stand-in) running the probe with `steps`.
    void StartHost(Utils::PipedProcess& host, const std::vector<std::string>& steps) {
        std::vector<std::string> argv{CHILD_RUN_HOST, CHILD_PROBE, "script"};
        argv.insert(argv.end(), steps.begin(), steps.end());
        host.Start(argv);
    }

    // A probe that was let go, and the child it started, both run on: checked, then ended by
    // the test (killing the probe ends it, whoever its parent is now).
    static void ExpectBothRunOnThenEnd(const std::filesystem::path& pids) {
        long long probe = 0, child = 0;
        ASSERT_TRUE(ReadPids(pids, probe, child));
        EXPECT_FALSE(childtest::EndsWithin(probe, 500));
        EXPECT_FALSE(childtest::EndsWithin(child, 0));
        childtest::Kill(child);
        childtest::Kill(probe);
        EXPECT_TRUE(childtest::EndsWithin(probe, 5000));
    }

    testsupport::TempDir tmp;
    std::vector<std::string> lines;
};

}  // namespace

TEST_F(StatusChildRunTest, LinesReachTheParserAndTheExitCodeIsKept) {
    // A final line, then more lines that nobody parses any more; the child ends by itself.
    auto result = Run({"line:Progress=0.5", "err:noise on standard error", "line:State=Fail", "line:State=Success",
                       "exit:0"});
    EXPECT_EQ(result.end, End::kEnded);
    EXPECT_EQ(result.finalState, 1000);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"Progress=0.5", "State=Fail"}));

    lines.clear();
    result = Run({"line:Progress=1", "exit:7"});
    EXPECT_EQ(result.end, End::kEnded);
    EXPECT_EQ(result.finalState, 0);
    EXPECT_EQ(result.exitStatus, 7);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(StatusChildRun::DescribeEnd(result), L"exit status 7");
    EXPECT_EQ(lines, (std::vector<std::string>{"Progress=1"}));
}

TEST_F(StatusChildRunTest, AMissingProgramIsNotStarted) {
    StatusChildRun run;
    const auto missing = Utils::FromUtf8((tmp / "missing.exe").string());
    const auto result = run.Run(missing, Utils::QuoteArgument(missing) + L" x", [](std::string_view) { return 0; });
    EXPECT_EQ(result.end, End::kNotStarted);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(StatusChildRun::CurrentGroup(), 0);
}

TEST_F(StatusChildRunTest, ASilentChildIsStoppedWithWhatItStartedAtTheIdleLimit) {
    ScopedLimit idle("QV_CHILD_IDLE_LIMIT_MS", "500");
    const auto started = std::chrono::steady_clock::now();
    const auto result = Run({"line:Progress=0.1", "spawn", PidsStep(tmp / "pids"), "sleep:600000"});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(result.end, End::kIdleStopped);
    EXPECT_EQ(StatusChildRun::DescribeEnd(result), L"no output for 500 ms; stopped");
    long long probe = 0, child = 0;
    ASSERT_TRUE(ReadPids(tmp / "pids", probe, child));
    EXPECT_TRUE(childtest::EndsWithin(probe, 5000));
    EXPECT_TRUE(childtest::EndsWithin(child, 5000));
    EXPECT_EQ(StatusChildRun::CurrentGroup(), 0);
}

TEST_F(StatusChildRunTest, AChildThatStaysAfterItsFinalLineIsLetGoAndOutlivesItsRunner) {
    ScopedLimit grace("QV_CHILD_EXIT_GRACE_MS", "300");
    StatusChildRun::Result result;
    // On a thread of its own that then ends, as the runners' workers do.
    std::thread([&] { result = Run({"spawn", PidsStep(tmp / "pids"), "line:State=Success", "sleep:600000"}); }).join();
    EXPECT_EQ(result.end, End::kLeftRunning);
    EXPECT_EQ(result.finalState, 1);
    ExpectBothRunOnThenEnd(tmp / "pids");
}

TEST_F(StatusChildRunTest, KillingTheInstallerOutrightEndsTheChildAndWhatItStarted) {
    Utils::PipedProcess host;
    StartHost(host, {"spawn", PidsStep(tmp / "pids"), "line:Progress=0.5", "sleep:600000"});
    long long probe = 0, child = 0;
    ASSERT_TRUE(ReadPids(tmp / "pids", probe, child));
    EXPECT_FALSE(childtest::EndsWithin(probe, 200));
    childtest::Kill(host.Pid());
    host.Wait();
    EXPECT_TRUE(childtest::EndsWithin(probe, 5000));
    EXPECT_TRUE(childtest::EndsWithin(child, 5000));
}

TEST_F(StatusChildRunTest, AChildLetGoOutlivesTheInstaller) {
    ScopedLimit grace("QV_CHILD_EXIT_GRACE_MS", "300");
    Utils::PipedProcess host;
    StartHost(host, {"spawn", PidsStep(tmp / "pids"), "line:State=Success", "sleep:600000"});
    std::string out;
    char buffer[256];
    for (std::ptrdiff_t n; (n = host.StdOut().Read(buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
    EXPECT_EQ(host.Wait(), 0);
    EXPECT_EQ(out.rfind("end=2 status=-1 final=1", 0), 0u) << out;  // kLeftRunning after the final line
    ExpectBothRunOnThenEnd(tmp / "pids");
}
