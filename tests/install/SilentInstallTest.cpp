// End to end: the real installer executable in unattended mode, on a clean HOME, against the
// test package server serving the sample package.
#include <gtest/gtest.h>

#include <fstream>
#include <spawn.h>

#include "tests/install/UnattendedHarness.h"

namespace fs = std::filesystem;

using installtest::Ini;
using installtest::Result;
using SilentInstallTest = installtest::UnattendedTest;

namespace {

// Runs the product with `args`; its exit code, or -1 when it did not start or end normally.
int RunProduct(const fs::path& product, std::vector<std::string> args) {
    args.insert(args.begin(), product.string());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, product.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the installed product on a file and back; true when the round trip gives the file back.
bool ProductRoundTrip(const fs::path& product, const fs::path& work) {
    const std::string text(100000, 'q');
    std::ofstream(work / "data.txt") << text;
    if (RunProduct(product, {(work / "data.txt").string()}) != 0) return false;
    if (fs::file_size(work / "data.txt.gz") >= text.size() / 10) return false;
    fs::remove(work / "data.txt");
    if (RunProduct(product, {"-d", (work / "data.txt.gz").string()}) != 0) return false;
    return testsupport::ReadFile(work / "data.txt") == text;
}

}  // namespace

TEST_F(SilentInstallTest, SilentInstall_InstallsRecordsAndOnASecondRunUninstallsFirst) {
    const fs::path folder = tmp / "My Apps" / "中文 目录";
    Result first = Install(folder);
    ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
    EXPECT_NE(first.out.find("installing Quorvex into " + folder.string() + "\n"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("progress 100%\ninstalled: " + folder.string() + "\n"), std::string::npos) << first.out;
    EXPECT_EQ(first.out.find("removing the installed copy"), std::string::npos);

    // The product works, the package is gone.
    fs::create_directories(tmp / "work");
    EXPECT_TRUE(ProductRoundTrip(folder / "compressor.exe", tmp / "work"));
    // A file whose reading fails part-way (a name for the product's own memory: it opens as a
    // regular file and every read fails) leaves an older archive of its name as it was.
    fs::create_symlink("/proc/self/mem", tmp / "work" / "unreadable");
    std::ofstream(tmp / "work" / "unreadable.gz") << "older archive";
    EXPECT_EQ(RunProduct(folder / "compressor.exe", {(tmp / "work" / "unreadable").string()}), 1);
    EXPECT_EQ(testsupport::ReadFile(tmp / "work" / "unreadable.gz"), "older archive");
    EXPECT_FALSE(fs::exists(tmp / "work" / "unreadable.gz.part"));
    EXPECT_FALSE(fs::exists(folder / "__Package_Quorvex.exe"));

    // The records.
    EXPECT_EQ(Registry("InstallPath"), folder.string());
    EXPECT_EQ(Registry("UnInstallEp"), (folder / "uninst.ep").string());
    const fs::path setIni = folder / "set.ini";
    EXPECT_EQ(Ini(setIni, "Install", "APPStore"), fs::path(INSTALLER_EXE).filename().string());
    EXPECT_EQ(Ini(setIni, "Install", "AppName"), "Quorvex");
    EXPECT_EQ(Ini(setIni, "Install", "InstallLanguage"), "en-US");
    EXPECT_EQ(Ini(setIni, "Install", "InstallLANGID"), "1033");
    EXPECT_EQ(Ini(setIni, "Install", "DeviceID").size(), 32u);
    const fs::path dataIni = tmp / "home" / ".local" / "share" / "VarNelData" / "Pelmora" / "VORazavedUvivorare.ini";
    EXPECT_EQ(Ini(setIni, "Install", "VORazavedUvivorareIni"), dataIni.string());
    EXPECT_EQ(Ini(dataIni, "Init", "UpdateTime").size(), 19u);

    // The window's analytics events, in its order.
    if (collecting) {
        const auto tasks = Tasks();
        ASSERT_EQ(tasks.size(), 4u) << testing::PrintToString(tasks);
        EXPECT_EQ(tasks[0], "开始下载大包");
        EXPECT_EQ(tasks[1].rfind("大包下载完毕用时0分", 0), 0u) << tasks[1];
        EXPECT_EQ(tasks[2], "大包下载完毕");
        EXPECT_EQ(tasks[3], "安装成功");
    }

    // The second run finds the copy, runs its uninstaller from the private temporary folder
    // and installs again.
    const std::string firstDevice = Ini(setIni, "Install", "DeviceID");
    Result second = Install(folder);
    ASSERT_EQ(second.exitCode, 0) << second.out << second.err;
    EXPECT_NE(second.out.find("removing the installed copy first: " + (folder / "uninst.ep").string()), std::string::npos)
        << second.out;
    EXPECT_TRUE(fs::exists(tmp / "runtime" / "~VarNelTemp.92482B06FB471E17" / "Pelmora_un_asa.exe"));
    // The uninstaller's success starts the download (their log lines may come in either order).
    EXPECT_NE(second.err.find("UNIST_CODE_SUCCESS"), std::string::npos);
    EXPECT_NE(second.err.find("DL_CODE_START"), std::string::npos);
    EXPECT_TRUE(fs::exists(folder / "compressor.exe"));
    EXPECT_NE(Ini(setIni, "Install", "DeviceID"), firstDevice);
}

TEST_F(SilentInstallTest, SilentInstall_IsOverrideFalseInstallsOverTheCopyWithoutUninstalling) {
    const fs::path folder = tmp / "override";
    ASSERT_EQ(Install(folder).exitCode, 0);
    // The product's own switch (the installer never writes it): later installs go over it.
    ASSERT_TRUE(Utils::WriteProfileString(L"Uninstall", L"IsOverride", L"false", folder / "set.ini"));
    Result again = Install(folder);
    ASSERT_EQ(again.exitCode, 0) << again.out << again.err;
    EXPECT_EQ(again.out.find("removing the installed copy"), std::string::npos) << again.out;
    EXPECT_EQ(again.err.find("UNIST_CODE"), std::string::npos);
}

TEST_F(SilentInstallTest, SilentInstall_EachFailureClassHasItsExitCodeAndLeavesNoPackage) {
    // The package reports an error.
    const fs::path folder = tmp / "failing";
    Result failed = Install(folder, "--error=broken");
    EXPECT_EQ(failed.exitCode, 8);
    EXPECT_NE(failed.err.find("quorvex-installer: broken (1000)"), std::string::npos) << failed.err;
    EXPECT_FALSE(fs::exists(folder / "__Package_Quorvex.exe"));
    EXPECT_EQ(Registry("InstallPath"), "<none>");
    if (collecting) {
        ASSERT_FALSE(Tasks().empty());
        EXPECT_EQ(Tasks().back(), "安装失败原因:1.code=1000；2.msg=broken");
    }

    // The package file is gone from the server.
    Result missing = Install(tmp / "missing", "", "gone.exe");
    EXPECT_EQ(missing.exitCode, 7);
    EXPECT_NE(missing.err.find("quorvex-installer: download failed"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(tmp / "missing" / "__Package_Quorvex.exe"));
    if (collecting) {
        ASSERT_FALSE(Tasks().empty());
        const std::string reason = Tasks().back();
        EXPECT_EQ(reason.rfind("1.code=", 0), 0u) << reason;
        EXPECT_NE(reason.find("；3.缓存磁盘容量="), std::string::npos) << reason;
        EXPECT_NE(reason.find("；4.缓存读写权限=可读；5.服务器连接状态code="), std::string::npos) << reason;
    }

    // A folder that cannot be made.
    Result invalid = Install(tmp / std::string(300, 'x'));
    EXPECT_EQ(invalid.exitCode, 2);
    EXPECT_NE(invalid.err.find("Invalid path"), std::string::npos);

    // The installed copy's uninstaller fails: nothing is downloaded.
    const fs::path busy = tmp / "busy";
    ASSERT_EQ(Install(busy, "--uninstaller=fail").exitCode, 0);
    server->ClearRequests();
    Result blocked = Install(busy);
    EXPECT_EQ(blocked.exitCode, 6);
    EXPECT_NE(blocked.err.find("The software is running"), std::string::npos) << blocked.err;
    EXPECT_EQ(Gets(), 0);
    EXPECT_TRUE(fs::exists(busy / "compressor.exe"));
}

TEST_F(SilentInstallTest, SilentInstall_WithoutAFolderUsesTheDefaultOne) {
    installtest::Launch launch{{"-silent", "-downloadurl=" + server->FileUrl("Quorvex_setup.exe")}};
    fs::path expected = tmp / "home" / ".local" / "share" / "Pelmora";
    if (::geteuid() == 0) {
        // Root installs for the machine, into /opt: here a private, empty /opt.
        launch.tmpfsOn = "/opt";
        launch.tmpfsBytes = size_t(2) << 30;
        expected = "/opt/Pelmora";
    }
    Result result = Run(launch);
    if (result.exitCode == 121) GTEST_SKIP() << "no private mount namespace for a root install into /opt";
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("installed: " + expected.string()), std::string::npos) << result.out;
    EXPECT_EQ(Registry("InstallPath"), expected.string());
    if (::geteuid() != 0) {
        EXPECT_TRUE(fs::exists(expected / "compressor.exe"));
    }
}
