// The main window's decisions and texts that need no window.
#include <gtest/gtest.h>

#include "tests/support/TempDir.h"
#include "ui/windows/DownloadFailureReason.h"
#include "utils/StringUtils.h"
#include "ui/windows/MainWndRules.h"
#include "ui/windows/SkinWindowSpec.h"

using namespace MainWndRules;

TEST(MainWndRules, CloseRulesDependOnThePage) {
    EXPECT_TRUE(AcceptsClose(kDefaultPage));
    EXPECT_TRUE(AcceptsClose(kCustomPage));
    EXPECT_FALSE(AcceptsClose(kProgressPage));
    EXPECT_TRUE(AcceptsClose(kFinishPage));
    // The close button asks even during an installation; only the finish page closes at once.
    EXPECT_TRUE(CloseButtonAsks(kDefaultPage));
    EXPECT_TRUE(CloseButtonAsks(kProgressPage));
    EXPECT_FALSE(CloseButtonAsks(kFinishPage));
}

TEST(MainWndRules, TitleRowFollowsTheMainPage) {
    EXPECT_EQ(TitlePageFor(0), 1);
    EXPECT_EQ(TitlePageFor(1), 1);
    EXPECT_EQ(TitlePageFor(2), -1) << "the progress page leaves the title row alone";
    EXPECT_EQ(TitlePageFor(3), 2);
    EXPECT_EQ(TitlePageFor(7), 0);
}

TEST(MainWndRules, CustomFolderGetsTheProductSubFolderUnlessItIsTheProposal) {
    const std::wstring proposal = L"/home/ann/.local/share/Pelmora";
    EXPECT_EQ(CustomFolderFor(proposal, proposal), proposal);
    EXPECT_EQ(CustomFolderFor(proposal + L"/", proposal), proposal);
    EXPECT_EQ(CustomFolderFor(L"/home/ann/.local/share/./Pelmora", proposal), proposal);
    EXPECT_EQ(CustomFolderFor(L"/srv/apps", proposal), L"/srv/apps/Pelmora");
    EXPECT_EQ(CustomFolderFor(L"/srv/apps/", proposal), L"/srv/apps/Pelmora");
    // The proposal's parent is another folder: the product still gets its own.
    EXPECT_EQ(CustomFolderFor(L"/home/ann/.local/share", proposal), L"/home/ann/.local/share/Pelmora");
}

TEST(MainWndRules, DurationTexts) {
    EXPECT_EQ(DownloadDurationText((3600 + 120 + 3) * 1000), L"大包下载完毕用时1时2分3秒");
    EXPECT_EQ(DownloadDurationText(59900), L"大包下载完毕用时0分59秒");
    EXPECT_EQ(DownloadDurationText(65000), L"大包下载完毕用时1分5秒");
    EXPECT_EQ(DownloadDurationText(0), L"大包下载完毕用时0分0秒");
    // The unsigned tick difference across a wrap stays a plain (large) duration.
    EXPECT_EQ(DownloadDurationText(4294967295u), L"大包下载完毕用时1193时2分47秒");
}

TEST(MainWndRules, ProgressTextFormatsOnlyOneInteger) {
    EXPECT_EQ(ProgressText(L"Installing:%d%%", 35), L"Installing:35%");
    EXPECT_EQ(ProgressText(L"正在安裝:%d%%", 100), L"正在安裝:100%");
    // A broken template from a skin is shown as it is instead of reading missing arguments.
    EXPECT_EQ(ProgressText(L"Installing:%s", 35), L"Installing:%s");
    EXPECT_EQ(ProgressText(L"%d of %d", 35), L"%d of %d");
    EXPECT_EQ(ProgressText(L"Installing", 35), L"Installing");
    EXPECT_LE(ProgressText(std::wstring(400, L'x') + L"%d", 1).size(), 249u);
}

TEST(DownloadFailureReason, ExampleFromTheFieldsMeasured) {
    EXPECT_EQ(FormatDownloadFailureReason(28, L"timeout", 12.5 * 1073741824.0, true, 0x40),
              L"1.code=28；2.msg=timeout；3.缓存磁盘容量=12.50G；4.缓存读写权限=可读；5.服务器连接状态code=64");
    EXPECT_EQ(FormatDownloadFailureReason(7, L"", 0, false, 0x10000),
              L"1.code=7；2.msg=；3.缓存磁盘容量=0.00G；4.缓存读写权限=无权限；5.服务器连接状态code=65536");
}

TEST(DownloadFailureReason, LongMessagesAreCutAndTheMeasuredFieldsKept) {
    const std::wstring text = FormatDownloadFailureReason(28, std::wstring(500, L'm'), 1073741824.0, true, 64);
    EXPECT_LE(text.size(), 199u);
    EXPECT_NE(text.find(L"5.服务器连接状态code=64"), std::wstring::npos) << "the last field was lost";
    const std::wstring install = InstallFailureReason(1000, std::wstring(771, L'e'));
    EXPECT_LE(install.size(), 199u);
    EXPECT_EQ(install.rfind(L"安装失败原因:1.code=1000；2.msg=eee", 0), 0u);
    EXPECT_EQ(InstallFailureReason(0, L"包安装失败"), L"安装失败原因:1.code=0；2.msg=包安装失败");
}

TEST(DownloadFailureReason, WritableTestLeavesNoFileBehind) {
    testsupport::TempDir folder;
    const std::string package = (folder.path() / "__Package_Quorvex.exe").string();
    const std::wstring text = DownloadFailureReason(28, L"timeout", Utils::FromUtf8(package));
    EXPECT_NE(text.find(L"4.缓存读写权限=可读"), std::wstring::npos);
    EXPECT_NE(access(package.c_str(), F_OK), 0) << "the probe file was left in place";
    // A folder that does not exist cannot take the package.
    const std::wstring missing = DownloadFailureReason(28, L"timeout", L"/nonexistent-qv/__Package_Quorvex.exe");
    EXPECT_NE(missing.find(L"4.缓存读写权限=无权限"), std::wstring::npos);
}

TEST(SkinWindowSpec, ClassNameIsTheFileNameUpToItsLastDot) {
    const SkinWindowSpec spec = SkinWindowSpec::ForLayout(L"NetworkTipWnd.xml");
    EXPECT_EQ(spec.skinFolder, L"");
    EXPECT_EQ(spec.skinFile, L"NetworkTipWnd.xml");
    EXPECT_EQ(spec.className, L"NetworkTipWnd");
    EXPECT_EQ(SkinWindowSpec::ForLayout(L"a.b.xml").className, L"a.b");
}
