// The analytics task names and reason texts of an install.
#include <gtest/gtest.h>

#include "install/InstallerTaskEvents.h"

using namespace InstallerTaskEvents;

TEST(InstallerTaskEvents_Texts, DurationsReadAsMinutesAndSecondsOrWithHours) {
    EXPECT_EQ(DownloadDurationTask(65'000), L"大包下载完毕用时1分5秒");
    EXPECT_EQ(DownloadDurationTask(3'723'000), L"大包下载完毕用时1时2分3秒");
    EXPECT_EQ(DownloadDurationTask(59'900), L"大包下载完毕用时0分59秒");
    EXPECT_EQ(DownloadDurationTask(0), L"大包下载完毕用时0分0秒");
}

TEST(InstallerTaskEvents_Texts, FailureReasonsCarryEveryField) {
    EXPECT_EQ(DownloadFailureReason(28.9, L"timeout", 12.5, true, 0x40),
              L"1.code=28；2.msg=timeout；3.缓存磁盘容量=12.50G；4.缓存读写权限=可读；5.服务器连接状态code=64");
    EXPECT_EQ(DownloadFailureReason(-996, L"", 0, false, 0x10000),
              L"1.code=-996；2.msg=；3.缓存磁盘容量=0.00G；4.缓存读写权限=无权限；5.服务器连接状态code=65536");
    EXPECT_EQ(InstallFailureReason(2, L""), L"安装失败原因:1.code=2；2.msg=");
}

TEST(InstallerTaskEvents_Texts, ALongReasonIsShortenedNotLost) {
    const std::wstring message(771, L'错');
    const std::wstring install = InstallFailureReason(1000, message);
    EXPECT_EQ(install.size(), 199u);
    EXPECT_EQ(install.substr(0, 25), L"安装失败原因:1.code=1000；2.msg=");
    EXPECT_EQ(install.back(), L'错');
    EXPECT_EQ(DownloadFailureReason(1, message, 1, true, 0).size(), 199u);
    // A value no integer holds still gives a text.
    EXPECT_EQ(InstallFailureReason(1e300, L"x"), L"安装失败原因:1.code=0；2.msg=x");
}

TEST(InstallerTaskEvents_Texts, ShorteningNeverSplitsASurrogatePair) {
    // The two-byte path, as a wchar_t of two bytes takes it.
    const std::u16string text = u"ab\U0001F600c";
    EXPECT_EQ(ShortenOnCharacter(text, 3), u"ab");
    EXPECT_EQ(ShortenOnCharacter(text, 4), u"ab\U0001F600");
    EXPECT_EQ(ShortenOnCharacter(std::wstring(L"ab\U0001F600c"), 3), sizeof(wchar_t) == 2 ? L"ab" : L"ab\U0001F600");
}
