// CDownloadInstaller: the whole chain against the test package server on 127.0.0.1, with the
// real downloaders, the sample package and its uninstaller.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

#include "install/CDownloadInstaller.h"
#include "install/InstallCodes.h"
#include "install/InstallSession.h"
#include "tests/install/EventRecorder.h"
#include "tests/install/ProcessTableLock.h"
#include "tests/install/SamplePackage.h"
#include "tests/install/TestEnvironment.h"
#include "tests/support/TempDir.h"
#include "tools/package-server/PackageServer.h"
#include "utils/PipedProcess.h"
#include "utils/RegistryStore.h"

using installtest::EventRecorder;
using installtest::W;

namespace {

installtest::ProcessEnvironment g_environment;

class DownloadInstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        installtest::SetInstCmd(L"");
        installtest::Options().downloadType = 1;
        std::filesystem::create_directories(tmp / "www");
        std::filesystem::copy_file(SAMPLE_PACKAGE, tmp / "www" / "Quorvex_setup.exe");
        server = std::make_unique<PackageServer::Server>(PackageServer::Options{(tmp / "www").string()});
        ASSERT_TRUE(server->Start());
    }
    void TearDown() override {
        server->Stop();
        installtest::SetInstCmd(L"");
        installtest::Options().downloadType = 1;
    }

    std::wstring Url(const std::string& name = "Quorvex_setup.exe") const { return Utils::FromUtf8(server->FileUrl(name)); }

    std::unique_ptr<CDownloadInstaller> Make(const std::wstring& url, const std::wstring& previousUninstaller,
                                             const std::filesystem::path& folder) {
        auto installer = std::make_unique<CDownloadInstaller>(events.Callback(), L"", L"", L"", L"en-US", true, true, true);
        installer->SetInstallParams(url, previousUninstaller, W(folder), L"en-US", true, false, false, false);
        installer->SetStageOptions(installtest::Options().downloadType, installtest::Options().instCmd);
        return installer;
    }

    // Installs the sample product into `folder` by running the package directly.
    void InstallDirectly(const std::filesystem::path& folder, const std::string& uninstallMode) {
        Utils::PipedProcess package;
        package.Start(L"\"" + W(SAMPLE_PACKAGE) + L"\" /S --uninstaller=" + Utils::FromUtf8(uninstallMode) + L" /D=" +
                      W(folder));
        char buffer[4096];
        while (package.StdOut().Read(buffer, sizeof buffer) > 0) {
        }
        ASSERT_EQ(package.Wait(), 0);
    }

    size_t Gets() const {
        const auto requests = server->Requests();
        return std::count_if(requests.begin(), requests.end(), [](const auto& r) { return r.method == "GET"; });
    }

    installtest::ProcessTableLock processTable;  // the chain runs uninstaller copies
    testsupport::TempDir tmp;
    EventRecorder events;
    std::unique_ptr<PackageServer::Server> server;
};

// The index of the first event with `code`, or -1.
int IndexOf(const std::vector<int>& codes, int code) {
    const auto it = std::find(codes.begin(), codes.end(), code);
    return it == codes.end() ? -1 : static_cast<int>(it - codes.begin());
}

}  // namespace

TEST_F(DownloadInstallerTest, DownloadInstaller_DownloadsRunsThePackageAndDeletesIt) {
    for (int type : {1, 3, 2}) {
        SCOPED_TRACE(type);
        installtest::Options().downloadType = type;
        events.Clear();
        const auto folder = tmp / ("My Apps " + std::to_string(type)) / "Pelmora";
        const std::string url = type == 3 ? server->DigestUrl("Quorvex_setup.exe") : server->FileUrl("Quorvex_setup.exe");
        // The window's callback sees each event before the orchestrator reacts: at 2003 the
        // package is still there.
        std::atomic<bool> packageAtSuccess{false};
        auto recorder = events.Callback();
        CDownloadInstaller installer(
            [&](int32_t code, double value, const wchar_t* text) {
                if (code == INSTALL_SUCCESS) packageAtSuccess = std::filesystem::exists(folder / "__Package_Quorvex.exe");
                recorder(code, value, text);
            },
            L"", L"", L"", L"en-US", true, true, true);
        installer.SetInstallParams(Utils::FromUtf8(url), L"", W(folder), L"en-US", true, true, false, false);
        installer.SetStageOptions(type, L"");
        EXPECT_EQ(installer.GetPackagePath(), W(folder / "__Package_Quorvex.exe"));
        installer.Start();
        ASSERT_TRUE(events.WaitForAny({INSTALL_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL}));
        ASSERT_TRUE(events.WaitForCount(INSTALL_SUCCESS, 1, 1));

        const auto codes = events.Codes();
        EXPECT_EQ(codes.front(), DL_CODE_START);
        EXPECT_LT(IndexOf(codes, DL_CODE_SUCCESS), IndexOf(codes, IST_CODE_START));
        EXPECT_EQ(codes.back(), INSTALL_SUCCESS);
        EXPECT_EQ(events.Count(IST_CODE_FAIL), 0);
        EXPECT_TRUE(packageAtSuccess.load());
        EXPECT_TRUE(std::filesystem::exists(folder / "compressor.exe"));
        EXPECT_EQ(events.Only(PKG_CODE_INST_PATH).at(0).text, W(folder));
        // Deleted after the relay; the destructor below would also wait for the worker.
        for (int i = 0; i < 100 && std::filesystem::exists(folder / "__Package_Quorvex.exe"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(std::filesystem::exists(folder / "__Package_Quorvex.exe"));
    }
}

TEST_F(DownloadInstallerTest, DownloadInstaller_UninstallsThePreviousCopyBeforeTheDownload) {
    const auto folder = tmp / "prev dir" / "Pelmora";
    InstallDirectly(folder, "success");
    ASSERT_TRUE(std::filesystem::exists(folder / "uninst.ep"));
    {
        auto installer = Make(Url(), W(folder / "uninst.ep"), folder);
        installer->Start();
        ASSERT_TRUE(events.WaitForAny({INSTALL_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL, UNIST_CODE_FAIL, UNIST_CODE_ERROR}));
    }
    const auto codes = events.Codes();
    ASSERT_GE(codes.size(), 4u);
    EXPECT_EQ(codes[0], UNIST_CODE_PROGRESS);
    const int uninstalled = IndexOf(codes, UNIST_CODE_SUCCESS);
    ASSERT_GE(uninstalled, 1);
    EXPECT_EQ(codes[uninstalled + 1], DL_CODE_START) << "the download starts on the uninstaller's success";
    EXPECT_EQ(codes.back(), INSTALL_SUCCESS);
    // The uninstaller ran as a private copy, made executable; the product is there again.
    const auto copy = g_environment.Root() / "runtime" / "~VarNelTemp.92482B06FB471E17" / "Pelmora_un_asa.exe";
    ASSERT_TRUE(std::filesystem::exists(copy));
    EXPECT_EQ(std::filesystem::status(copy).permissions() & std::filesystem::perms::all, std::filesystem::perms::owner_all);
    EXPECT_TRUE(std::filesystem::exists(folder / "compressor.exe"));
}

TEST_F(DownloadInstallerTest, DownloadInstaller_APreviousUninstallerThatIsGoneIsSkipped) {
    {
        auto installer = Make(Url(), W(tmp / "gone" / "uninst.ep"), tmp / "fresh");
        installer->Start();
        ASSERT_TRUE(events.WaitForAny({INSTALL_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL}));
    }
    EXPECT_EQ(events.Codes().front(), DL_CODE_START);
    EXPECT_EQ(events.Count(UNIST_CODE_PROGRESS), 0);
    EXPECT_EQ(events.Codes().back(), INSTALL_SUCCESS);
}

TEST_F(DownloadInstallerTest, DownloadInstaller_FailedUninstallEndsTheChainWithoutDownloading) {
    const auto folder = tmp / "busy";
    InstallDirectly(folder, "fail");
    {
        auto installer = Make(Url(), W(folder / "uninst.ep"), folder);
        installer->Start();
        ASSERT_TRUE(events.WaitForAny({UNIST_CODE_FAIL, UNIST_CODE_ERROR, DL_CODE_START}));
    }  // joins every stage
    EXPECT_EQ(events.Codes().back(), UNIST_CODE_ERROR);
    EXPECT_EQ(events.Count(DL_CODE_START), 0);
    EXPECT_EQ(Gets(), 0u);
    EXPECT_TRUE(std::filesystem::exists(folder / "compressor.exe"));
}

TEST_F(DownloadInstallerTest, DownloadInstaller_FailedDownloadLeavesNoPackageAndASecondStartUsesTheNewFolder) {
    const auto first = tmp / "first";
    const auto second = tmp / "second" / "Pelmora";
    auto installer = Make(Url("no-such-package.exe"), L"", first);
    installer->Start();
    ASSERT_TRUE(events.WaitForAny({DL_CODE_FAIL, INSTALL_SUCCESS}, 60));
    EXPECT_EQ(events.Codes().back(), DL_CODE_FAIL);
    EXPECT_EQ(events.Count(IST_CODE_START), 0);
    for (int i = 0; i < 100 && std::filesystem::exists(first / "__Package_Quorvex.exe"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(std::filesystem::exists(first / "__Package_Quorvex.exe"));

    // The user picks another folder and retries: download and install go there.
    events.Clear();
    installer->SetInstallParams(Url(), L"", W(second), L"en-US", true, true, false, false);
    installer->Start();
    ASSERT_TRUE(events.WaitForAny({INSTALL_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL}));
    installer.reset();
    EXPECT_EQ(events.Codes().back(), INSTALL_SUCCESS);
    EXPECT_EQ(events.Only(PKG_CODE_INST_PATH).at(0).text, W(second));
    EXPECT_TRUE(std::filesystem::exists(second / "compressor.exe"));
    EXPECT_FALSE(std::filesystem::exists(first / "compressor.exe"));
}

TEST_F(DownloadInstallerTest, DownloadInstaller_InstallFailuresDeleteThePackage) {
    const auto folder = tmp / "f";
    // The package vanishes between download and run: it cannot be started.
    auto recorder = events.Callback();
    {
        CDownloadInstaller installer(
            [&](int32_t code, double value, const wchar_t* text) {
                if (code == DL_CODE_SUCCESS) std::filesystem::remove(folder / "__Package_Quorvex.exe");
                recorder(code, value, text);
            },
            L"", L"", L"", L"en-US", true, true, true);
        installer.SetInstallParams(Url(), L"", W(folder), L"en-US", true, true, false, false);
        installer.SetStageOptions(installtest::Options().downloadType, installtest::Options().instCmd);
        installer.Start();
        ASSERT_TRUE(events.WaitForAny({IST_CODE_FAIL, INSTALL_SUCCESS, DL_CODE_FAIL}));
    }
    EXPECT_EQ(events.Codes().back(), IST_CODE_FAIL);
    EXPECT_EQ(events.Only(IST_CODE_FAIL).at(0).value, 2.0);

    // The package itself reports a failure.
    events.Clear();
    installtest::SetInstCmd(L"--error=broken");
    {
        auto installer = Make(Url(), L"", folder);
        installer->Start();
        ASSERT_TRUE(events.WaitForAny({IST_CODE_FAIL, INSTALL_SUCCESS, DL_CODE_FAIL}));
    }
    EXPECT_EQ(events.Codes().back(), IST_CODE_FAIL);
    EXPECT_EQ(events.Only(IST_CODE_FAIL).at(0).text, L"broken");
    EXPECT_FALSE(std::filesystem::exists(folder / "__Package_Quorvex.exe"));
}

TEST_F(DownloadInstallerTest, DownloadInstaller_LogsOneLinePerStageEventInOrder) {
    // The diagnostic trace goes to standard error: catch it in a file for one chain.
    const auto traceFile = tmp / "trace.txt";
    const int saved = ::dup(2);
    ASSERT_GE(saved, 0);
    const int fd = ::open(traceFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ::dup2(fd, 2);
    ::close(fd);
    {
        auto installer = Make(Url(), L"", tmp / "logged");
        installer->Start();
        events.WaitForAny({INSTALL_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL});
    }
    ::dup2(saved, 2);
    ::close(saved);

    const std::string trace = testsupport::ReadFile(traceFile);
    size_t at = 0;
    for (const char* line : {"DL_TYPE=1\n", ": DL_CODE_START\n", ": DOWNLOAD_SUCCESS\n", ": DL_CODE_SUCCESS\n",
                             ": INSTALL_SUCCESS\n"}) {
        const size_t found = trace.find(line, at);
        ASSERT_NE(found, std::string::npos) << line << " after offset " << at << "\n" << trace;
        at = found;
    }
    EXPECT_NE(trace.find(": IST_CODE_START\n"), std::string::npos);
    EXPECT_LT(trace.find(": DOWNLOAD_SUCCESS\n"), trace.find(": IST_CODE_START\n"));
    // Install progress and package reports are relayed without a line of their own.
    EXPECT_EQ(trace.find("IST_CODE_PROGRESS"), std::string::npos);
    EXPECT_EQ(trace.find("UNIST_CODE"), std::string::npos);
}

namespace {

// Drives an InstallSession as a front end does: events queued by the stages' threads are
// handed to the session on this thread, in order, until the attempt ends.
struct SessionDriver {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<installtest::Event> queue;
    InstallSession session{[this](int32_t code, double value, const wchar_t* text) {
        std::lock_guard<std::mutex> lock(mutex);
        queue.push_back({code, value, text ? text : L""});
        arrived.notify_one();
    }};
    std::vector<int> percents;
    std::vector<std::wstring> tasks;

    bool RunToEnd() {
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex);
            if (!arrived.wait_for(lock, std::chrono::seconds(30), [&] { return !queue.empty(); })) return false;
            const installtest::Event e = queue.front();
            queue.pop_front();
            lock.unlock();
            const InstallReaction r = session.OnEvent(e.code, e.value, e.text);
            if (r.percent) percents.push_back(*r.percent);
            tasks.insert(tasks.end(), r.tasks.begin(), r.tasks.end());
            if (r.ended) return true;
        }
    }
};

}  // namespace

TEST_F(DownloadInstallerTest, InstallSession_RealEventsFillTheBarKeepThePackagesReportsAndWriteTheRecords) {
    const auto folder = tmp / "session" / "Pelmora";
    SessionDriver driver;
    InstallParams params;
    params.downloadUrl = Url();
    params.folder = W(folder);
    params.instCmd = L"--startup=AutoStartup";
    params.installerFileName = L"quorvex-installer";
    driver.session.SetParams(params);
    ASSERT_FALSE(driver.session.RunPreChecks());
    driver.session.Start();
    ASSERT_TRUE(driver.RunToEnd());

    const InstallEventReducer& reducer = driver.session.Reducer();
    EXPECT_EQ(reducer.Outcome(), InstallOutcome::kSucceeded);
    ASSERT_FALSE(driver.percents.empty());
    EXPECT_TRUE(std::is_sorted(driver.percents.begin(), driver.percents.end()));
    EXPECT_EQ(driver.percents.back(), 100);
    EXPECT_EQ(reducer.Product().installPath, W(folder));
    EXPECT_EQ(reducer.Product().exePath, W(folder / "compressor.exe"));
    EXPECT_EQ(reducer.Product().uninstallerPath, W(folder / "uninst.ep"));
    EXPECT_EQ(reducer.Product().startupStyle, 1);
    ASSERT_EQ(driver.tasks.size(), 4u);
    EXPECT_EQ(driver.tasks[0], L"开始下载大包");
    EXPECT_EQ(driver.tasks[2], L"大包下载完毕");
    EXPECT_EQ(driver.tasks[3], L"安装成功");
    // The records of the finished install, and no package left.
    EXPECT_TRUE(std::filesystem::exists(folder / "set.ini"));
    std::wstring recorded;
    EXPECT_TRUE(Utils::ReadRegString(L"InstallPath", recorded));
    EXPECT_EQ(recorded, W(folder));
    EXPECT_FALSE(std::filesystem::exists(folder / "__Package_Quorvex.exe"));
}
