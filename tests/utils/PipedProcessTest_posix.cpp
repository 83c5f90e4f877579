// What only POSIX children show: their descriptors, process groups, signals and the guard
// that binds a child to the thread that started it.
#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "tests/utils/PipedProcessTestSupport.h"
#include "utils/Exception.h"
#include "utils/FileHandle.h"
#include "utils/PipedProcess.h"

using Utils::PipedProcess;
using processtest::Probe;
using processtest::ReadAll;

namespace {

// The probe's "fds" answer, one open descriptor a line, as a set.
std::set<std::string> LinesOf(const std::string& out) {
    std::set<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.insert(line);
    return lines;
}

}  // namespace

TEST(PipedProcess_Descriptors, ChildSeesOnlyItsThreePipes) {
    // A descriptor the parent opened without close-on-exec must still not reach the child.
    const int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 3);
    PipedProcess p;
    p.Start(Probe(L"fds"));
    const std::string out = ReadAll(p.StdOut());
    EXPECT_EQ(p.Wait(), 0);
    ::close(leaky);
    EXPECT_EQ(LinesOf(out), (std::set<std::string>{"0", "1", "2"})) << out;
}

TEST(PipedProcess_Options, ProgramFromADescriptorInItsOwnGroupWithOnlyItsPipes) {
    // The file named in argv[0] does not exist: what runs is the open descriptor.
    Utils::FileHandle program = Utils::FileHandle::OpenRead(CHILD_PROBE);
    ASSERT_TRUE(program.IsOpen());
    const int leaky = ::open("/dev/null", O_RDONLY);
    Utils::SpawnOptions options;
    options.ownProcessGroup = true;
    options.stopWithStarter = true;
    options.program = &program;
    PipedProcess p;
    p.Start(std::vector<std::string>{"/nonexistent/renamed-probe", "fds"}, options);
    EXPECT_EQ(::getpgid(p.Pid()), p.Pid());
    const std::string out = ReadAll(p.StdOut());
    EXPECT_EQ(p.Wait(), 0);
    EXPECT_EQ(p.TermSignal(), 0);
    ::close(leaky);
    EXPECT_EQ(LinesOf(out), (std::set<std::string>{"0", "1", "2"})) << out;
}

TEST(PipedProcess_Options, ASignalIsToldApartFromAnExitCodeAndABadProgramThrows) {
    Utils::FileHandle program = Utils::FileHandle::OpenRead(CHILD_PROBE);
    Utils::SpawnOptions options;
    options.program = &program;
    PipedProcess p;
    p.Start(std::vector<std::string>{"probe", "echo"}, options);
    ::kill(static_cast<pid_t>(p.Pid()), SIGKILL);
    EXPECT_EQ(p.Wait(), 128 + SIGKILL);
    EXPECT_EQ(p.TermSignal(), SIGKILL);
    PipedProcess q;
    q.Start(std::vector<std::string>{"probe", "exit", std::to_string(128 + SIGKILL)}, options);
    EXPECT_EQ(q.Wait(), 128 + SIGKILL);
    EXPECT_EQ(q.TermSignal(), 0);

    const Utils::FileHandle notAProgram(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    options.program = &notAProgram;
    PipedProcess r;
    EXPECT_THROW(r.Start(std::vector<std::string>{"x"}, options), Utils::Exception);
}

namespace {

// Whether any live (not yet ended) process belongs to process group `group`.
bool GroupAlive(pid_t group) {
    DIR* proc = ::opendir("/proc");
    if (!proc) return false;
    bool alive = false;
    while (dirent* e = ::readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        long ppid = 0, pgrp = 0;
        rest >> state >> ppid >> pgrp;
        if (pgrp == group && state != 'Z' && state != 'X') alive = true;
    }
    ::closedir(proc);
    return alive;
}

bool GroupGoneWithin(pid_t group, int ms) {
    for (int i = 0; i < ms / 20; ++i) {
        if (!GroupAlive(group)) return true;
        ::usleep(20000);
    }
    return !GroupAlive(group);
}

}  // namespace

TEST(PipedProcess_Guard, TheStartingThreadsEndStopsTheChildUnlessItWasLetGo) {
    // The system binds the parent-death signal to the starting thread: a child started from a
    // worker must be stopped when that worker ends, and must not be once it was let go.
    Utils::SpawnOptions options;
    options.ownProcessGroup = true;
    options.stopWithStarter = true;
    const std::vector<std::string> sleeper{"/bin/sleep", "30"};

    PipedProcess bound;
    std::thread([&] { bound.Start(sleeper, options); }).join();
    const auto boundGroup = static_cast<pid_t>(bound.Pid());
    EXPECT_TRUE(GroupGoneWithin(boundGroup, 3000));
    EXPECT_EQ(bound.Wait(), 128 + SIGTERM);

    PipedProcess released;
    pid_t releasedGroup = -1;
    std::thread([&] {
        released.Start(sleeper, options);
        releasedGroup = static_cast<pid_t>(released.Pid());
        released.LetGo();
    }).join();
    ::usleep(300000);
    EXPECT_TRUE(GroupAlive(releasedGroup));
    EXPECT_EQ(released.Pid(), -1);
    ::kill(-releasedGroup, SIGKILL);
    EXPECT_TRUE(GroupGoneWithin(releasedGroup, 3000));
}

TEST(PipedProcess_Guard, TheChildsEndIsTheGuardsOwn) {
    Utils::SpawnOptions options;
    options.ownProcessGroup = true;
    options.stopWithStarter = true;
    PipedProcess exits;
    exits.Start(std::vector<std::string>{CHILD_PROBE, "exit", "7"}, options);
    EXPECT_EQ(exits.Wait(), 7);
    EXPECT_EQ(exits.TermSignal(), 0);
    PipedProcess killed;
    killed.Start(std::vector<std::string>{"/bin/sleep", "30"}, options);
    ::usleep(100000);
    // Only the child, not the guard: the guard must die the same way.
    for (int i = 0; i < 50; ++i) {
        if (::kill(-static_cast<pid_t>(killed.Pid()), 0) == 0) break;
        ::usleep(20000);
    }
    std::string children;
    std::ifstream(std::string("/proc/") + std::to_string(killed.Pid()) + "/task/" + std::to_string(killed.Pid()) +
                  "/children") >> children;
    ASSERT_FALSE(children.empty());
    ASSERT_EQ(::kill(std::stoi(children), SIGKILL), 0);
    EXPECT_EQ(killed.Wait(), 128 + SIGKILL);
    EXPECT_EQ(killed.TermSignal(), SIGKILL);
}


TEST(PipedProcess_Options, EveryChildStartsWithMask022WhateverThisProcessHas) {
    // The system shows a process's creation mask in its status file: the child reads its own.
    struct MaskScope {
        mode_t saved = ::umask(0);
        ~MaskScope() { ::umask(saved); }
    } careless;
    const auto childMask = [](const Utils::SpawnOptions* options) {
        PipedProcess p;
        const std::vector<std::string> argv{"cat", "/proc/self/status"};
        if (options) p.Start(argv, *options);
        else p.Start(argv);
        const std::string status = ReadAll(p.StdOut());
        p.Wait();
        const size_t at = status.find("Umask:");
        return at == std::string::npos ? std::string("none") : status.substr(at, status.find('\n', at) - at);
    };
    Utils::SpawnOptions guarded;
    guarded.stopWithStarter = true;
    guarded.ownProcessGroup = true;
    EXPECT_EQ(childMask(nullptr), "Umask:\t0022");
    EXPECT_EQ(childMask(&guarded), "Umask:\t0022");
    // This process keeps its own (the other threads' files are not ours to change).
    EXPECT_EQ(::umask(0), 0u);
}
