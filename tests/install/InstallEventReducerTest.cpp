// The reduction of an install's events into what the front ends show and keep.
#include <gtest/gtest.h>

#include "download/DownloadCallback.h"
#include "install/InstallCodes.h"
#include "install/InstallEventReducer.h"

namespace {

struct Feed {
    InstallEventReducer reducer{0.7, L"/opt/Pelmora"};
    InstallReaction operator()(int code, double value = 0, const std::wstring& text = L"", uint32_t now = 0) {
        return reducer.Apply(code, value, text, now);
    }
};

}  // namespace

TEST(InstallEventReducer_Percent, DownloadThenInstallFillTheBarAndSuccessEndsAtOneHundred) {
    Feed feed;
    EXPECT_FALSE(feed(DL_CODE_START, 1).percent);
    EXPECT_EQ(feed(DL_CODE_PROGRESS, 0.5).percent, 35);
    EXPECT_EQ(feed(DL_CODE_PROGRESS, 1.0).percent, 70);
    EXPECT_EQ(feed(IST_CODE_PROGRESS, 0).percent, 74);
    EXPECT_EQ(feed(IST_CODE_PROGRESS, 0.9).percent, 97);
    const InstallReaction done = feed(INSTALL_SUCCESS, 0);
    EXPECT_EQ(done.percent, 100);
    EXPECT_TRUE(done.ended);
    EXPECT_TRUE(done.finishInstall);
    EXPECT_EQ(feed.reducer.Outcome(), InstallOutcome::kSucceeded);
}

TEST(InstallEventReducer_Percent, ARestartedDownloadNeverMovesTheBarBack) {
    Feed feed;
    feed(DL_CODE_START, 1);
    EXPECT_EQ(feed(DL_CODE_PROGRESS, 0.5).percent, 35);
    // 1005: the multi-connection downloader starts again and reports from the beginning.
    const InstallReaction retry = feed(DL_CODE_RETRY, 2);
    EXPECT_FALSE(retry.ended);
    EXPECT_TRUE(retry.tasks.empty());
    feed(DL_CODE_START, 1);
    EXPECT_EQ(feed(DL_CODE_PROGRESS, 0.1).percent, 35);
    EXPECT_EQ(feed(DL_CODE_PROGRESS, 1.0).percent, 70);
    EXPECT_EQ(feed.reducer.Outcome(), InstallOutcome::kRunning);
}

TEST(InstallEventReducer_Records, RecordsAtStartAndThePackagesReportsAreKept) {
    Feed feed;
    EXPECT_TRUE(feed(IST_CODE_START).writeRecords);
    feed(PKG_CODE_INST_PATH, 0, L"/opt/Pelmora/real");
    feed(PKG_CODE_EXE_PATH, 0, L"/opt/Pelmora/real/compressor.exe");
    feed(PKG_CODE_UNINST_EP, 0, L"/opt/Pelmora/real/uninst.ep");
    feed(PKG_CODE_START_URL, 0, L"https://example.com/welcome");
    feed(PKG_CODE_STARTUP_STYLE, 2);
    feed(PKG_CODE_TOP_SHOW, -1);
    feed(PKG_CODE_FINISH_CLOSE, 3000);
    EXPECT_EQ(feed(PKG_CODE_MESSAGE, 0, L"hello").notice, L"hello");
    const ProductReport& p = feed.reducer.Product();
    EXPECT_EQ(p.installPath, L"/opt/Pelmora/real");
    EXPECT_EQ(p.exePath, L"/opt/Pelmora/real/compressor.exe");
    EXPECT_EQ(p.uninstallerPath, L"/opt/Pelmora/real/uninst.ep");
    EXPECT_EQ(p.startUrl, L"https://example.com/welcome");
    EXPECT_EQ(p.startupStyle, 2);
    EXPECT_EQ(p.topShowDelayMs, 4294967295u);
    EXPECT_EQ(p.finishCloseDelayMs, 3000u);
    // A style no package may report stays "NonStartup".
    feed(PKG_CODE_STARTUP_STYLE, 7);
    EXPECT_EQ(feed.reducer.Product().startupStyle, 0);
}

TEST(InstallEventReducer_Tasks, TheDownloadsTasksComeInTheWindowsOrderWithTheDuration) {
    Feed feed;
    EXPECT_EQ(feed(DL_CODE_START, 1, L"", 1000).tasks, std::vector<std::wstring>{L"开始下载大包"});
    EXPECT_EQ(feed(DL_CODE_SUCCESS, 0, L"LibCurl", 1000 + 65'400).tasks,
              (std::vector<std::wstring>{L"大包下载完毕用时1分5秒", L"大包下载完毕"}));
    EXPECT_EQ(feed(INSTALL_SUCCESS, 1).tasks, std::vector<std::wstring>{L"安装成功"});

    // Without a download start the duration is 0; the tick may wrap around.
    Feed other;
    EXPECT_EQ(other(DL_CODE_SUCCESS, 0, L"", 99'999).tasks.at(0), L"大包下载完毕用时0分0秒");
    Feed wrap;
    wrap(DL_CODE_START, 1, L"", 4294967295u - 999);
    EXPECT_EQ(wrap(DL_CODE_SUCCESS, 0, L"", 2000).tasks.at(0), L"大包下载完毕用时0分3秒");
}

TEST(InstallEventReducer_Outcome, EachFailureEndsWithItsOutcomeValueAndText) {
    Feed download;
    const InstallReaction failed = download(DL_CODE_FAIL, 28, L"timeout");
    EXPECT_TRUE(failed.ended);
    EXPECT_TRUE(failed.downloadFailed);
    EXPECT_EQ(download.reducer.Outcome(), InstallOutcome::kDownloadFailed);
    EXPECT_EQ(download.reducer.FailureValue(), 28);
    EXPECT_EQ(download.reducer.FailureText(), L"timeout");

    Feed install;
    const InstallReaction broken = install(IST_CODE_FAIL, 1000, L"broken");
    EXPECT_TRUE(broken.ended);
    EXPECT_FALSE(broken.finishInstall);
    EXPECT_EQ(broken.tasks, std::vector<std::wstring>{L"安装失败原因:1.code=1000；2.msg=broken"});
    EXPECT_EQ(install.reducer.Outcome(), InstallOutcome::kInstallFailed);

    Feed uninstall;
    EXPECT_FALSE(uninstall(UNIST_CODE_PROGRESS, 0.5).ended);
    EXPECT_FALSE(uninstall(UNIST_CODE_SUCCESS, 0).ended);
    Feed uninstallFailed;
    EXPECT_TRUE(uninstallFailed(UNIST_CODE_ERROR, 0, L"安装包卸载失败").ended);
    EXPECT_EQ(uninstallFailed.reducer.Outcome(), InstallOutcome::kUninstallFailed);
    EXPECT_EQ(uninstallFailed.reducer.FailureText(), L"安装包卸载失败");
    Feed missing;
    missing(UNIST_CODE_FAIL, 1, L"可执行卸载文件不存在");
    EXPECT_EQ(missing.reducer.Outcome(), InstallOutcome::kUninstallFailed);
    Feed temp;
    temp(UNIST_CODE_FAIL, 3, L"no temp");
    EXPECT_EQ(temp.reducer.Outcome(), InstallOutcome::kTempUnusable);
}

TEST(InstallEventReducer_Outcome, ARetryStartsAfreshButKeepsTheInstallSmoothing) {
    Feed feed;
    EXPECT_EQ(feed(IST_CODE_PROGRESS, 0).percent, 74);
    EXPECT_EQ(feed(IST_CODE_PROGRESS, 0).percent, 78);
    feed(PKG_CODE_EXE_PATH, 0, L"/opt/Pelmora/compressor.exe");
    feed(IST_CODE_FAIL, 0, L"Install failed");
    feed.reducer.Restart(L"/opt/Other");
    EXPECT_EQ(feed.reducer.Outcome(), InstallOutcome::kRunning);
    EXPECT_EQ(feed.reducer.Product().installPath, L"/opt/Other");
    EXPECT_EQ(feed.reducer.Product().exePath, L"");
    EXPECT_EQ(feed(DL_CODE_PROGRESS, 0.5).percent, 35);  // the bar's floor went with the failure
    EXPECT_EQ(feed(IST_CODE_PROGRESS, 0).percent, 83);   // smoothing went on from 0.30
}
