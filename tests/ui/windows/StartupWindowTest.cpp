// The real installer executable without a display: a window is impossible, so it says how to
// install without one and fails instead of silently doing nothing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>

#include "tests/support/TempDir.h"

namespace {

struct Result {
    int exitCode = -1;
    std::string err;
};

Result RunWithoutDisplay(const testsupport::TempDir& dir, std::vector<std::string> args) {
    std::filesystem::create_directories(dir.path() / "runtime");
    std::filesystem::permissions(dir.path() / "runtime", std::filesystem::perms::owner_all);
    std::vector<std::string> env = {"HOME=" + dir.path().string(), "XDG_RUNTIME_DIR=" + (dir.path() / "runtime").string(),
                                    "PATH=/usr/bin:/bin", "LANG=C.UTF-8", "-isenableappanalytics=false"};
    env.pop_back();
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    args.insert(args.begin(), INSTALLER_EXE);
    args.push_back("-isenableappanalytics=false");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto errFile = dir.path() / "err.txt";
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Result result;
    pid_t pid;
    const int rc = posix_spawn(&pid, INSTALLER_EXE, &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return result;
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errFile);
    result.err.assign(std::istreambuf_iterator<char>(in), {});
    return result;
}

TEST(StartupWithoutDisplay, SaysSoAndPointsToSilent) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, std::vector<std::string>{"--silent"},
                                                  std::vector<std::string>{"-downloadtype=3"}}) {
        testsupport::TempDir dir;
        const Result r = RunWithoutDisplay(dir, args);
        EXPECT_EQ(r.exitCode, 1) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("no display found"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("\"-silent\" installs without a window"), std::string::npos) << r.err;
    }
}

}  // namespace
