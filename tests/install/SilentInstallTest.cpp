// End to end: the real installer executable in unattended mode, on a clean HOME, against the
// test package server serving the sample package.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "install/CSilentInstaller.h"
#include "tests/support/TempDir.h"
#include "tools/package-server/PackageServer.h"
#include "utils/ProfileFile.h"
#include "utils/StringUtils.h"

#include <fstream>

namespace fs = std::filesystem;

namespace {

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class SilentInstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"www", "home", "runtime"}) fs::create_directories(tmp / sub);
        fs::permissions(tmp / "runtime", fs::perms::owner_all);
        fs::copy_file(SAMPLE_PACKAGE, tmp / "www" / "Quorvex_setup.exe");
        server = std::make_unique<PackageServer::Server>(PackageServer::Options{(tmp / "www").string()});
        ASSERT_TRUE(server->Start());
    }
    void TearDown() override { server->Stop(); }

    // Runs the installer with only HOME, XDG_RUNTIME_DIR and PATH set.
    Result Run(std::vector<std::string> args) {
        std::vector<std::string> env = {"HOME=" + (tmp / "home").string(), "XDG_RUNTIME_DIR=" + (tmp / "runtime").string(),
                                        "PATH=/usr/bin:/bin", "LANG=C.UTF-8"};
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        args.insert(args.begin(), INSTALLER_EXE);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const auto outFile = tmp / "out.txt", errFile = tmp / "err.txt";
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        Result result;
        pid_t pid;
        const int rc = posix_spawn(&pid, INSTALLER_EXE, &fa, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&fa);
        if (rc != 0) return result;
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = testsupport::ReadFile(outFile);
        result.err = testsupport::ReadFile(errFile);
        return result;
    }

    Result Install(const fs::path& folder, const std::string& instCmd = "", const std::string& file = "Quorvex_setup.exe") {
        std::vector<std::string> args = {"-silent", "-installdir=" + folder.string(), "-downloadurl=" + server->FileUrl(file)};
        if (!instCmd.empty()) args.push_back("-instcmd=" + instCmd);
        return Run(args);
    }

    std::string Registry(const char* name) const {
        return Utils::ToUtf8(Utils::GetProfileString(L"Software\\VarNelSoft\\Quorvex", Utils::FromUtf8(name), L"<none>", 1024,
                                                     tmp / "home" / ".config" / "VarNelSoft" / "registry.ini"));
    }

    int Gets() const {
        int n = 0;
        for (const auto& r : server->Requests()) n += r.method == "GET";
        return n;
    }

    testsupport::TempDir tmp;
    std::unique_ptr<PackageServer::Server> server;
};

std::string Ini(const fs::path& file, const char* section, const char* key) {
    return Utils::ToUtf8(Utils::GetProfileString(Utils::FromUtf8(section), Utils::FromUtf8(key), L"<none>", 1024, file));
}

// Runs the installed product on a file and back; true when the round trip gives the file back.
bool ProductRoundTrip(const fs::path& product, const fs::path& work) {
    const std::string text(100000, 'q');
    std::ofstream(work / "data.txt") << text;
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), product.string());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid;
        if (posix_spawn(&pid, product.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    if (run({(work / "data.txt").string()}) != 0) return false;
    if (fs::file_size(work / "data.txt.gz") >= text.size() / 10) return false;
    fs::remove(work / "data.txt");
    if (run({"-d", (work / "data.txt.gz").string()}) != 0) return false;
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

    // The second run finds the copy, runs its uninstaller from the private temporary folder
    // and installs again.
    const std::string firstDevice = Ini(setIni, "Install", "DeviceID");
    Result second = Install(folder);
    ASSERT_EQ(second.exitCode, 0) << second.out << second.err;
    EXPECT_NE(second.out.find("removing the installed copy first: " + (folder / "uninst.ep").string()), std::string::npos)
        << second.out;
    EXPECT_TRUE(fs::exists(tmp / "runtime" / "~VarNelTemp.92482B06FB471E17" / "Pelmora_un_asa.exe"));
    EXPECT_NE(second.err.find("UNIST_CODE_SUCCESS"), std::string::npos);
    EXPECT_LT(second.err.find("UNIST_CODE_SUCCESS"), second.err.find("DL_CODE_START"));
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
    EXPECT_EQ(failed.exitCode, CSilentInstaller::kExitInstallFailed);
    EXPECT_NE(failed.err.find("quorvex-installer: broken (1000)"), std::string::npos) << failed.err;
    EXPECT_FALSE(fs::exists(folder / "__Package_Quorvex.exe"));
    EXPECT_EQ(Registry("InstallPath"), "<none>");

    // The package file is gone from the server.
    Result missing = Install(tmp / "missing", "", "gone.exe");
    EXPECT_EQ(missing.exitCode, CSilentInstaller::kExitDownloadFailed);
    EXPECT_NE(missing.err.find("quorvex-installer: download failed"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(tmp / "missing" / "__Package_Quorvex.exe"));

    // A folder that cannot be made.
    Result invalid = Install(tmp / std::string(300, 'x'));
    EXPECT_EQ(invalid.exitCode, CSilentInstaller::kExitInvalidFolder);
    EXPECT_NE(invalid.err.find("Invalid path"), std::string::npos);

    // The installed copy's uninstaller fails: nothing is downloaded.
    const fs::path busy = tmp / "busy";
    ASSERT_EQ(Install(busy, "--uninstaller=fail").exitCode, 0);
    server->ClearRequests();
    Result blocked = Install(busy);
    EXPECT_EQ(blocked.exitCode, CSilentInstaller::kExitUninstallFailed);
    EXPECT_NE(blocked.err.find("The software is running"), std::string::npos) << blocked.err;
    EXPECT_EQ(Gets(), 0);
    EXPECT_TRUE(fs::exists(busy / "compressor.exe"));
}

TEST_F(SilentInstallTest, SilentInstall_WithoutAFolderUsesTheDefaultOne) {
    if (::geteuid() == 0) GTEST_SKIP() << "as root the default folder is /opt/Pelmora";
    Result result = Run({"-silent", "-downloadurl=" + server->FileUrl("Quorvex_setup.exe")});
    const fs::path expected = tmp / "home" / ".local" / "share" / "Pelmora";
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("installed: " + expected.string()), std::string::npos) << result.out;
    EXPECT_TRUE(fs::exists(expected / "compressor.exe"));
}
