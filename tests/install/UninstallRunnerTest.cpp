// CUninstallRunner against the sample product's real uninstaller over real pipes.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sys/stat.h>

#include "install/CUninstallRunner.h"
#include "install/InstallCodes.h"
#include "tests/install/EventRecorder.h"
#include "tests/install/ProcessTableLock.h"
#include "tests/install/SamplePackage.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "utils/PipedProcess.h"

using installtest::EventRecorder;
using installtest::W;

namespace {

class UninstallRunnerTest : public ::testing::Test {
protected:
    // Installs the sample product into `folder` by running the sample package directly, and
    // copies its kept uninstaller to "Pelmora_un_asa.exe" (mode 0600, as a plain copy is).
    std::filesystem::path Install(const std::filesystem::path& folder, const std::string& uninstallMode) {
        Utils::PipedProcess package;
        package.Start(L"\"" + installtest::W(SAMPLE_PACKAGE) + L"\" /S --uninstaller=" +
                      Utils::FromUtf8(uninstallMode) + L" /D=" + W(folder));
        char buffer[4096];
        while (package.StdOut().Read(buffer, sizeof buffer) > 0) {
        }
        EXPECT_EQ(package.Wait(), 0);
        const auto copy = tmp / "private" / "Pelmora_un_asa.exe";
        std::filesystem::create_directories(copy.parent_path());
        std::filesystem::copy_file(folder / "uninst.ep", copy, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(copy, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        return copy;
    }

    void Uninstall(const std::filesystem::path& copy, const std::filesystem::path& folder) {
        CUninstallRunner runner(events.Callback(), W(copy), W(folder));
        runner.Run();
        runner.Join();
        commandLine = runner.CommandLine();
    }

    int Finals() const {
        return events.Count(UNIST_CODE_SUCCESS) + events.Count(UNIST_CODE_FAIL) + events.Count(UNIST_CODE_ERROR);
    }

    installtest::ProcessTableLock processTable;
    testsupport::TempDir tmp;
    // The sample package writes its menu entry under the data folder: keep it in the test's own.
    testsupport::ScopedEnv dataHome{"XDG_DATA_HOME", (tmp.path() / "data").string()};
    EventRecorder events;
    std::wstring commandLine;
};

}  // namespace

TEST_F(UninstallRunnerTest, UninstallRunner_CommandLineQuotesTheProgramAndEndsWithTheBareFolder) {
    CUninstallRunner runner(events.Callback(), L"/run/user/1/~VarNelTemp/x y/Pelmora_un_asa.exe", L"/opt/My Apps/Pelmora");
    EXPECT_EQ(runner.BuildCommandLine(true, false),
              L"\"/run/user/1/~VarNelTemp/x y/Pelmora_un_asa.exe\" /S -adminact=true -authorizationact=false "
              L"-console=show _?=/opt/My Apps/Pelmora");
}

TEST_F(UninstallRunnerTest, UninstallRunner_RemovesTheInstalledCopyAndSucceedsOnce) {
    // Blanks in both the copy's folder and the install folder.
    const auto folder = tmp / "My Apps" / "中文" / "Pelmora";
    auto copy = Install(folder, "success");
    const auto spaced = tmp / "temp dir" / "Pelmora_un_asa.exe";
    std::filesystem::create_directories(spaced.parent_path());
    std::filesystem::rename(copy, spaced);
    Uninstall(spaced, folder);

    EXPECT_EQ(events.Codes(),
              (std::vector<int>{UNIST_CODE_PROGRESS, UNIST_CODE_PROGRESS, UNIST_CODE_PROGRESS, UNIST_CODE_SUCCESS}));
    std::vector<double> values;
    for (const auto& e : events.Events()) values.push_back(e.value);
    EXPECT_EQ(values, (std::vector<double>{0, 0.2, 1, 0}));
    EXPECT_FALSE(std::filesystem::exists(folder)) << "the uninstaller removed the product and its folder";
    struct stat st{};
    ASSERT_EQ(::stat(spaced.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_NE(commandLine.find(L"\" /S -adminact="), std::wstring::npos) << commandLine;
}

TEST_F(UninstallRunnerTest, UninstallRunner_ReportsTheUninstallersFailures) {
    Uninstall(Install(tmp / "a", "fail"), tmp / "a");
    EXPECT_EQ(events.Codes().back(), UNIST_CODE_ERROR);
    EXPECT_EQ(events.Only(UNIST_CODE_ERROR)[0].text, L"安装包卸载失败");
    EXPECT_EQ(Finals(), 1);
    EXPECT_TRUE(std::filesystem::exists(tmp / "a" / "compressor.exe"));

    events.Clear();
    // "Encode=UTF8" came first: the Chinese error text arrives intact.
    Uninstall(Install(tmp / "b", "error"), tmp / "b");
    ASSERT_EQ(events.Count(UNIST_CODE_ERROR), 1);
    EXPECT_EQ(events.Only(UNIST_CODE_ERROR)[0].text, L"卸载出错：文件被占用");
    EXPECT_EQ(events.Only(UNIST_CODE_ERROR)[0].value, 0.0);
    EXPECT_EQ(Finals(), 1);
}

TEST_F(UninstallRunnerTest, UninstallRunner_AnsiCodePageLeavesUndecodableLinesUnread) {
    // The test runs in the "C" locale, whose charset is ASCII: after "Encode=ACP" the UTF-8
    // error line cannot be decoded and is ignored, so the uninstaller ends without a final line.
    Uninstall(Install(tmp / "acp", "acp"), tmp / "acp");
    EXPECT_EQ(events.Codes(), (std::vector<int>{UNIST_CODE_PROGRESS, UNIST_CODE_SUCCESS}));
    EXPECT_EQ(events.Only(UNIST_CODE_SUCCESS)[0].value, 1.0);
}

TEST_F(UninstallRunnerTest, UninstallRunner_SilentSplitAndFloodingUninstallersEachEndOnce) {
    Uninstall(Install(tmp / "silent", "silent"), tmp / "silent");
    EXPECT_EQ(events.Codes(), (std::vector<int>{UNIST_CODE_PROGRESS, UNIST_CODE_SUCCESS}));
    EXPECT_EQ(events.Only(UNIST_CODE_SUCCESS)[0].value, 1.0);
    EXPECT_FALSE(std::filesystem::exists(tmp / "silent"));

    events.Clear();
    Uninstall(Install(tmp / "split", "split"), tmp / "split");
    EXPECT_EQ(events.Count(UNIST_CODE_PROGRESS), 3);
    ASSERT_EQ(events.Count(UNIST_CODE_SUCCESS), 1);
    EXPECT_EQ(events.Only(UNIST_CODE_SUCCESS)[0].value, 0.0);

    events.Clear();
    // 1 MiB after "State=Success": drained, and the end of the process adds no second 5003.
    Uninstall(Install(tmp / "flood", "flood"), tmp / "flood");
    EXPECT_EQ(events.Count(UNIST_CODE_SUCCESS), 1);
    EXPECT_EQ(events.Only(UNIST_CODE_SUCCESS)[0].value, 0.0);
    EXPECT_EQ(Finals(), 1);
}

TEST_F(UninstallRunnerTest, UninstallRunner_MissingOrUnstartableCopyFails) {
    Uninstall(tmp / "missing.exe", tmp.path());
    EXPECT_EQ(events.Codes(), (std::vector<int>{UNIST_CODE_FAIL}));
    EXPECT_EQ(events.Only(UNIST_CODE_FAIL)[0].value, 1.0);
    EXPECT_EQ(events.Only(UNIST_CODE_FAIL)[0].text, L"可执行卸载文件不存在");

    events.Clear();
    Uninstall(tmp.Write("Pelmora_un_asa.exe", "not a program\n"), tmp.path());
    EXPECT_EQ(events.Codes(), (std::vector<int>{UNIST_CODE_PROGRESS, UNIST_CODE_FAIL}));
    EXPECT_EQ(events.Only(UNIST_CODE_FAIL)[0].value, 2.0);
    EXPECT_EQ(events.Only(UNIST_CODE_FAIL)[0].text, L"");
}

TEST_F(UninstallRunnerTest, UninstallRunner_AHungUninstallerIsStoppedAndReportedAsAnError) {
    testsupport::ScopedEnv idle("QV_CHILD_IDLE_LIMIT_MS", "400");
    const auto folder = tmp / "hang";
    const auto copy = Install(folder, "hang");
    const auto started = std::chrono::steady_clock::now();
    Uninstall(copy, folder);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));
    EXPECT_EQ(Finals(), 1);
    ASSERT_EQ(events.Count(UNIST_CODE_ERROR), 1);
    EXPECT_NE(events.Only(UNIST_CODE_ERROR)[0].text.find(L"no output"), std::wstring::npos);
    EXPECT_EQ(events.Count(UNIST_CODE_SUCCESS), 0);
}
