// The sample package as a careless starter runs it: under the creation mask 000 the folders and
// files it makes must still not be writable by everyone.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// Runs the package with `args` and exactly `env`, under the creation mask 000; its exit status.
int RunPackageUnderMask000(std::vector<std::string> args, std::vector<std::string> env) {
    args.insert(args.begin(), SAMPLE_PACKAGE);
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const mode_t saved = ::umask(0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, SAMPLE_PACKAGE, nullptr, nullptr, argv.data(), envp.data());
    ::umask(saved);
    int status = 0;
    if (rc != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

mode_t ModeOf(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 07777;
}

}  // namespace

TEST(SamplePackage_Modes, FoldersAndFilesItMakesAreNotWorldWritableUnderMask000) {
    testsupport::TempDir tmp;
    const auto folder = tmp / "opt/vendor/Quorvex";
    ASSERT_EQ(RunPackageUnderMask000({"/S", "-dsc=true", "-ssc=false", "/D=" + folder.string()},
                                     {"HOME=" + (tmp / "home").string(), "XDG_DATA_HOME=" + (tmp / "data").string(),
                                      "XDG_CONFIG_HOME=" + (tmp / "config").string(), "PATH=/usr/bin:/bin"}),
              0);
    // Every folder it made: the install folder with its parents, the menu-entry folder and the
    // desktop folder.
    for (const fs::path& made : {tmp / "opt", tmp / "opt/vendor", folder, tmp / "data", tmp / "data/applications",
                                 tmp / "home", tmp / "home/Desktop"})
        EXPECT_EQ(ModeOf(made), 0755u) << made;
    ASSERT_TRUE(fs::exists(folder / "install.manifest"));
    for (const auto& entry : fs::recursive_directory_iterator(tmp.path()))
        EXPECT_EQ(ModeOf(entry.path()) & S_IWOTH, 0u) << entry.path();
}
