// CPackageRunner against the real sample package over real pipes.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <unistd.h>
#include <sys/stat.h>

#include "install/CPackageRunner.h"
#include "install/InstallCodes.h"
#include "tests/install/EventRecorder.h"
#include "tests/install/SamplePackage.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

using installtest::EventRecorder;
using installtest::Quoted;
using installtest::W;

namespace {

class PackageRunnerTest : public ::testing::Test {
protected:
    // Runs the package once into `folder` with `switches` and waits for the run to end.
    void RunOnce(const std::filesystem::path& folder, const std::wstring& switches) {
        const auto package = installtest::PlacePackage(tmp / "dl" / "__Package_Quorvex.exe");
        CPackageRunner runner(events.Callback(), Quoted(package), W(folder), L"en-US");
        runner.SetInstCmd(switches);
        runner.Run();
    }

    int Finals() const { return events.Count(INSTALL_SUCCESS) + events.Count(IST_CODE_FAIL); }

    testsupport::TempDir tmp;
    // The sample package writes its menu entry under the data folder: keep it in the test's own.
    testsupport::ScopedEnv dataHome{"XDG_DATA_HOME", (tmp.path() / "data").string()};
    EventRecorder events;
};

}  // namespace

TEST_F(PackageRunnerTest, PackageRunner_CommandLineCarriesEveryChoiceWithTheFolderLast) {
    CPackageRunner runner(events.Callback(), L"\"/tmp/x/__Package_Quorvex.exe\"", L"/opt/My Apps/Pelmora", L"zh-TW");
    runner.SetInstCmd(L"--startup=AutoStartup --exit=3");
    runner.SetOptions(false, true, true, false);
    EXPECT_EQ(runner.BuildCommandLine(),
              L"\"/tmp/x/__Package_Quorvex.exe\" /S -console=show -version=1.0.0 -adminact=true "
              L"-authorizationact=false -dsc=false -ssc=true --startup=AutoStartup --exit=3 -inslang=\"zh-TW\" "
              L"-instdir=\"/opt/My Apps/Pelmora\" /D=/opt/My Apps/Pelmora");

    runner.SetInstCmd(L"");
    runner.SetInstallFolder(L"");
    runner.SetLanguage(L"");
    EXPECT_EQ(runner.BuildCommandLine(),
              L"\"/tmp/x/__Package_Quorvex.exe\" /S -console=show -version=1.0.0 -adminact=true "
              L"-authorizationact=false -dsc=false -ssc=true -inslang=\"\"");
}

TEST_F(PackageRunnerTest, PackageRunner_InstallsIntoAFolderWithBlanksAndChineseAndReportsEveryLine) {
    const auto folder = tmp / "My Apps" / "中文 目录" / "Pelmora";
    RunOnce(folder, L"--message=\"安装完成 ok\"");
    const auto ev = events.Events();
    ASSERT_GE(ev.size(), 3u);
    EXPECT_EQ(ev[0].code, IST_CODE_START);
    EXPECT_EQ(ev[1].code, IST_CODE_PROGRESS);
    EXPECT_EQ(ev[1].value, 0.0);
    EXPECT_EQ(ev.back().code, INSTALL_SUCCESS);
    EXPECT_EQ(ev.back().value, 0.0);
    EXPECT_EQ(Finals(), 1);

    std::vector<double> progress;
    for (const auto& e : events.Only(IST_CODE_PROGRESS)) progress.push_back(e.value);
    EXPECT_EQ(progress, (std::vector<double>{0, 0.05, 0.4, 0.6, 0.8, 1}));
    ASSERT_EQ(events.Count(PKG_CODE_INST_PATH), 1);
    EXPECT_EQ(events.Only(PKG_CODE_INST_PATH)[0].text, W(folder));
    EXPECT_EQ(events.Only(PKG_CODE_EXE_PATH)[0].text, W(folder / "compressor.exe"));
    EXPECT_EQ(events.Only(PKG_CODE_UNINST_EP)[0].text, W(folder / "uninst.ep"));
    EXPECT_EQ(events.Only(PKG_CODE_STARTUP_STYLE)[0].value, kUserStartup);
    EXPECT_EQ(events.Only(PKG_CODE_MESSAGE)[0].text, L"安装完成 ok");

    // The package really ran with its execute bit set by the runner, and installed the product.
    struct stat st{};
    ASSERT_EQ(::stat((tmp / "dl" / "__Package_Quorvex.exe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(std::filesystem::exists(folder / "compressor.exe"));
    EXPECT_TRUE(std::filesystem::exists(folder / "uninst.ep"));
}

TEST_F(PackageRunnerTest, PackageRunner_DecodesTheDeclaredCodePageAndKeepsItForLaterRuns) {
    const auto folder = tmp / "目录 936";
    {
        const auto package = installtest::PlacePackage(tmp / "dl" / "__Package_Quorvex.exe");
        CPackageRunner runner(events.Callback(), Quoted(package), W(folder), L"en-US");
        runner.SetInstCmd(L"--encode=936 --message=安装完成");
        runner.Run();
        ASSERT_TRUE(events.WaitForCount(INSTALL_SUCCESS, 1));
        EXPECT_EQ(runner.CodePage(), 936u);
        // The second run waits for the first worker; the package declares nothing this time
        // and the runner keeps reading 936.
        runner.SetInstCmd(L"--encode= --message=plain");
        runner.SetInstallFolder(W(tmp / "second"));
        runner.Run();
        ASSERT_TRUE(events.WaitForCount(INSTALL_SUCCESS, 2));
        EXPECT_EQ(runner.CodePage(), 936u);
        EXPECT_EQ(runner.InstalledVersion(), (std::array<int, 3>{1, 0, 0}));
    }
    const auto messages = events.Only(PKG_CODE_MESSAGE);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, L"安装完成");
    EXPECT_EQ(messages[1].text, L"plain");
    EXPECT_EQ(events.Only(PKG_CODE_INST_PATH)[0].text, W(folder));
    EXPECT_EQ(events.Only(PKG_CODE_INST_PATH)[1].text, W(tmp / "second"));

    // UTF8 declared: the same text arrives intact.
    events.Clear();
    RunOnce(tmp / "utf8", L"--encode=UTF8 --message=安装完成");
    ASSERT_EQ(events.Count(PKG_CODE_MESSAGE), 1);
    EXPECT_EQ(events.Only(PKG_CODE_MESSAGE)[0].text, L"安装完成");
}

TEST_F(PackageRunnerTest, PackageRunner_FailureLinesEndTheRunWithOneFailure) {
    RunOnce(tmp / "f1", L"--fail");
    EXPECT_EQ(events.Codes().back(), IST_CODE_FAIL);
    EXPECT_EQ(events.Only(IST_CODE_FAIL)[0].value, 0.0);
    EXPECT_EQ(events.Only(IST_CODE_FAIL)[0].text, L"Install failed");
    EXPECT_EQ(Finals(), 1);

    events.Clear();
    RunOnce(tmp / "f2", L"\"--error=磁盘已满 disk full\"");
    ASSERT_EQ(events.Count(IST_CODE_FAIL), 1);
    EXPECT_EQ(events.Only(IST_CODE_FAIL)[0].value, 1000.0);
    EXPECT_EQ(events.Only(IST_CODE_FAIL)[0].text, L"磁盘已满 disk full");
    EXPECT_EQ(Finals(), 1);
}

TEST_F(PackageRunnerTest, PackageRunner_WithoutAFinalLineOnlyACleanExitIsASuccess) {
    RunOnce(tmp / "silent", L"--silent");
    EXPECT_EQ(events.Codes(), (std::vector<int>{IST_CODE_START, IST_CODE_PROGRESS, INSTALL_SUCCESS}));
    ASSERT_EQ(events.Count(INSTALL_SUCCESS), 1);
    EXPECT_EQ(events.Only(INSTALL_SUCCESS)[0].value, 1.0);
    EXPECT_TRUE(std::filesystem::exists(tmp / "silent" / "compressor.exe"));

    // A non-zero exit status without a final line is a failure that names the status.
    events.Clear();
    RunOnce(tmp / "exit7", L"--silent --exit=7");
    EXPECT_EQ(events.Codes(), (std::vector<int>{IST_CODE_START, IST_CODE_PROGRESS, IST_CODE_FAIL}));
    ASSERT_EQ(events.Count(IST_CODE_FAIL), 1);
    EXPECT_EQ(events.Only(IST_CODE_FAIL)[0].value, 3.0);
    EXPECT_EQ(events.Only(IST_CODE_FAIL)[0].text, L"Install failed: exit status 7");

    // So is death by a signal (SIGABRT after the progress lines).
    events.Clear();
    RunOnce(tmp / "crash", L"--crash");
    EXPECT_EQ(events.Count(INSTALL_SUCCESS), 0);
    ASSERT_EQ(events.Codes().back(), IST_CODE_FAIL);
    EXPECT_EQ(events.Only(IST_CODE_FAIL)[0].value, 3.0);
    EXPECT_EQ(events.Only(IST_CODE_FAIL)[0].text.rfind(L"Install failed: ended by signal 6", 0), 0u)
        << Utils::ToUtf8(events.Only(IST_CODE_FAIL)[0].text);
}

TEST_F(PackageRunnerTest, PackageRunner_OutputAfterTheFinalLineIsDrainedAndIgnored) {
    // 2 MB after "State=Success" (with "State=Fail" and "Error=" lines in it) and 1 MB on
    // standard error before: far more than a pipe holds. The run must end, with one success.
    RunOnce(tmp / "flood", L"--flood=2000000 --flood-stderr=1000000 --hold=200");
    EXPECT_EQ(events.Count(INSTALL_SUCCESS), 1);
    EXPECT_EQ(events.Count(IST_CODE_FAIL), 0);
    EXPECT_EQ(events.Codes().back(), INSTALL_SUCCESS);
    EXPECT_EQ(events.Only(INSTALL_SUCCESS)[0].value, 0.0);
}

TEST_F(PackageRunnerTest, PackageRunner_AProcessLeftHoldingTheOutputDoesNotHoldTheRun) {
    // The package ends but leaves "sleep 60" with its standard output: the run still ends
    // when the package does.
    const auto started = std::chrono::steady_clock::now();
    RunOnce(tmp / "linger", L"--linger=60");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_EQ(events.Count(INSTALL_SUCCESS), 1);
    EXPECT_EQ(events.Codes().back(), INSTALL_SUCCESS);
}

TEST_F(PackageRunnerTest, PackageRunner_LinesSplitAcrossReadsAreJoined) {
    // Every line arrives in three pieces 120 ms apart, cutting through multi-byte characters.
    const auto folder = tmp / "分段 目录";
    RunOnce(folder, L"--split --delay=0 --encode=936");
    ASSERT_EQ(events.Count(PKG_CODE_INST_PATH), 1);
    EXPECT_EQ(events.Only(PKG_CODE_INST_PATH)[0].text, W(folder));
    EXPECT_EQ(events.Only(PKG_CODE_EXE_PATH)[0].text, W(folder / "compressor.exe"));
    EXPECT_EQ(events.Count(IST_CODE_PROGRESS), 6);
    EXPECT_EQ(events.Only(INSTALL_SUCCESS).size(), 1u);
    EXPECT_EQ(events.Only(INSTALL_SUCCESS)[0].value, 0.0);
}

TEST_F(PackageRunnerTest, PackageRunner_MissingOrEmptyPackageFailsWithItsReason) {
    {
        CPackageRunner runner(events.Callback(), Quoted(tmp / "nothing-here.exe"), W(tmp / "x"), L"en-US");
        runner.Run();
    }
    EXPECT_EQ(events.Codes(), (std::vector<int>{IST_CODE_START, IST_CODE_PROGRESS, IST_CODE_FAIL}));
    EXPECT_EQ(events.Only(IST_CODE_FAIL)[0].value, 2.0);

    events.Clear();
    {
        // A file that is no program: made executable, still cannot be started.
        const auto junk = tmp.Write("junk.exe", "this is not a program\n");
        CPackageRunner runner(events.Callback(), Quoted(junk), W(tmp / "x"), L"en-US");
        runner.Run();
    }
    EXPECT_EQ(events.Codes(), (std::vector<int>{IST_CODE_START, IST_CODE_PROGRESS, IST_CODE_FAIL}));
    EXPECT_EQ(events.Only(IST_CODE_FAIL)[0].value, 2.0);

    events.Clear();
    {
        CPackageRunner runner(events.Callback(), L"", W(tmp / "x"), L"en-US");
        runner.Run();
    }
    EXPECT_EQ(events.Codes(), (std::vector<int>{IST_CODE_START, IST_CODE_FAIL}));
    EXPECT_EQ(events.Only(IST_CODE_FAIL)[0].value, 1.0);
}

namespace {

// True when the process is gone (or only a zombie waiting for a parent that is not us).
bool Gone(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return true;
    const size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z';
}

}  // namespace

TEST_F(PackageRunnerTest, PackageRunner_ASilentHungPackageHasItsGroupStoppedAndFails) {
    testsupport::ScopedEnv idle("QV_CHILD_IDLE_LIMIT_MS", "500");
    const auto pids = tmp / "pids";
    const auto started = std::chrono::steady_clock::now();
    RunOnce(tmp / "hung", L"--hang --pids=" + W(pids));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));
    EXPECT_EQ(events.Codes(), (std::vector<int>{IST_CODE_START, IST_CODE_PROGRESS, IST_CODE_FAIL}));
    ASSERT_EQ(events.Count(IST_CODE_FAIL), 1);
    EXPECT_EQ(events.Only(IST_CODE_FAIL)[0].value, 3.0);
    EXPECT_NE(events.Only(IST_CODE_FAIL)[0].text.find(L"no output"), std::wstring::npos);
    // The package and what it started in its group are both gone.
    std::ifstream in(pids);
    pid_t package = 0, child = 0;
    ASSERT_TRUE(in >> package >> child);
    for (int i = 0; i < 50 && !(Gone(package) && Gone(child)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(Gone(package));
    EXPECT_TRUE(Gone(child));
}

TEST_F(PackageRunnerTest, PackageRunner_APackageThatStaysAfterItsFinalLineIsLeftAfterTheGrace) {
    testsupport::ScopedEnv grace("QV_CHILD_EXIT_GRACE_MS", "300");
    const auto started = std::chrono::steady_clock::now();
    RunOnce(tmp / "stays", L"--hold=30000");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(events.Codes().back(), INSTALL_SUCCESS);
    EXPECT_EQ(events.Count(INSTALL_SUCCESS), 1);
    EXPECT_EQ(events.Only(INSTALL_SUCCESS)[0].value, 0.0);
}

TEST_F(PackageRunnerTest, PackageRunner_APackageReachedThroughALinkOrOwnedByAnotherUserIsNotStarted) {
    const auto package = installtest::PlacePackage(tmp / "real" / "__Package_Quorvex.exe");
    std::filesystem::create_directories(tmp / "dl");
    std::filesystem::create_symlink(package, tmp / "dl" / "__Package_Quorvex.exe");
    {
        CPackageRunner runner(events.Callback(), Quoted(tmp / "dl" / "__Package_Quorvex.exe"), W(tmp / "x"), L"en-US");
        runner.Run();
    }
    EXPECT_EQ(events.Codes(), (std::vector<int>{IST_CODE_START, IST_CODE_PROGRESS, IST_CODE_FAIL}));
    EXPECT_FALSE(std::filesystem::exists(tmp / "x"));

    // As root: a package of uid 65534. Otherwise: a program of root's, foreign to the test user.
    std::filesystem::path foreign = "/usr/bin/env";
    if (::geteuid() == 0) {
        foreign = package;
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    } else {
        std::printf("not root: a root-owned program stands for another user's file\n");
    }
    events.Clear();
    {
        CPackageRunner runner(events.Callback(), Quoted(foreign), W(tmp / "y"), L"en-US");
        runner.Run();
    }
    EXPECT_EQ(events.Codes(), (std::vector<int>{IST_CODE_START, IST_CODE_PROGRESS, IST_CODE_FAIL}));
    EXPECT_EQ(events.Only(IST_CODE_FAIL)[0].value, 2.0);
    EXPECT_FALSE(std::filesystem::exists(tmp / "y"));
}
