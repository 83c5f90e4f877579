#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <set>
#include <sstream>
#include <thread>
#include <dirent.h>
#include <fstream>
#include <unistd.h>

#include "utils/Exception.h"
#include "utils/PipedProcess.h"
#include "utils/StringUtils.h"

using Utils::PipedProcess;

namespace {

std::string ReadAll(Utils::Pipe& p) {
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = p.Read(buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    return out;
}

std::wstring Probe(const std::wstring& rest) { return L"\"" + Utils::FromUtf8(CHILD_PROBE) + L"\" " + rest; }

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
    std::set<std::string> fds;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) fds.insert(line);
    EXPECT_EQ(fds, (std::set<std::string>{"0", "1", "2"})) << out;
}

TEST(PipedProcess_Pipes, StandardInputOutputAndErrorAreConnected) {
    PipedProcess p;
    p.Start(Probe(L"echo"));
    const std::string text = "Progress=50\nState=0\n中文\n";
    ASSERT_TRUE(p.StdIn().WriteAll(text.data(), text.size()));
    p.StdIn().CloseWrite();
    EXPECT_EQ(ReadAll(p.StdOut()), text);
    EXPECT_EQ(p.Wait(), 0);

    PipedProcess e;
    e.Start(Probe(L"stderr oops"));
    EXPECT_EQ(ReadAll(e.StdErr()), "oops");
    EXPECT_EQ(e.Wait(), 0);
}

TEST(PipedProcess_CommandLine, SplitWithTheWindowsRulesAndNoShell) {
    PipedProcess p;
    p.Start(Probe(L"args \"a b\" c\\\\\"d e\" $HOME ';' `x` /D=/opt/My Apps"));
    EXPECT_EQ(ReadAll(p.StdOut()), "[a b][c\\d e][$HOME][';'][`x`][/D=/opt/My][Apps]\n");
    EXPECT_EQ(p.Wait(), 0);
}

TEST(PipedProcess_CommandLine, VeryLongLinesAreAccepted) {
    PipedProcess p;
    p.Start(Probe(L"args " + std::wstring(5000, L'x')));
    EXPECT_EQ(ReadAll(p.StdOut()), "[" + std::string(5000, 'x') + "]\n");
    EXPECT_EQ(p.Wait(), 0);
}

TEST(PipedProcess_Exit, PollingReportsRunningThenTheExitCode) {
    PipedProcess p;
    p.Start(Probe(L"echo"));
    EXPECT_TRUE(p.IsRunning());
    EXPECT_FALSE(p.TryExitCode().has_value());
    p.StdIn().CloseWrite();
    ReadAll(p.StdOut());
    EXPECT_EQ(p.Wait(), 0);
    EXPECT_FALSE(p.IsRunning());

    PipedProcess q;
    q.Start(Probe(L"exit 7"));
    EXPECT_EQ(q.Wait(), 7);
    EXPECT_EQ(q.TryExitCode(), 7);
}

TEST(PipedProcess_Failure, MissingProgramOrEmptyLineThrows) {
    PipedProcess p;
    EXPECT_THROW(p.Start(L"/nonexistent/program arg"), Utils::Exception);
    PipedProcess q;
    EXPECT_THROW(q.Start(L""), Utils::Exception);
    PipedProcess r;
    EXPECT_THROW(r.Start(L"   "), Utils::Exception);
}

TEST(PipedProcess_Failure, StartingTwiceThrows) {
    PipedProcess p;
    p.Start(Probe(L"exit 0"));
    EXPECT_THROW(p.Start(Probe(L"exit 0")), Utils::Exception);
    p.Wait();
}

TEST(PipedProcess_Options, ProgramFromADescriptorInItsOwnGroupWithOnlyItsPipes) {
    // The file named in argv[0] does not exist: what runs is the open descriptor.
    const int program = ::open(CHILD_PROBE, O_RDONLY | O_CLOEXEC);
    ASSERT_GE(program, 0);
    const int leaky = ::open("/dev/null", O_RDONLY);
    Utils::SpawnOptions options;
    options.ownProcessGroup = true;
    options.parentDeathSignal = SIGTERM;
    options.programFd = program;
    PipedProcess p;
    p.Start(std::vector<std::string>{"/nonexistent/renamed-probe", "fds"}, options);
    EXPECT_EQ(::getpgid(p.Pid()), p.Pid());
    const std::string out = ReadAll(p.StdOut());
    EXPECT_EQ(p.Wait(), 0);
    EXPECT_EQ(p.TermSignal(), 0);
    ::close(leaky);
    ::close(program);
    std::set<std::string> fds;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) fds.insert(line);
    EXPECT_EQ(fds, (std::set<std::string>{"0", "1", "2"})) << out;
}

TEST(PipedProcess_Options, ASignalIsToldApartFromAnExitCodeAndABadProgramThrows) {
    const int program = ::open(CHILD_PROBE, O_RDONLY | O_CLOEXEC);
    Utils::SpawnOptions options;
    options.programFd = program;
    PipedProcess p;
    p.Start(std::vector<std::string>{"probe", "echo"}, options);
    ::kill(p.Pid(), SIGKILL);
    EXPECT_EQ(p.Wait(), 128 + SIGKILL);
    EXPECT_EQ(p.TermSignal(), SIGKILL);
    PipedProcess q;
    q.Start(std::vector<std::string>{"probe", "exit", std::to_string(128 + SIGKILL)}, options);
    EXPECT_EQ(q.Wait(), 128 + SIGKILL);
    EXPECT_EQ(q.TermSignal(), 0);
    ::close(program);

    const int notAProgram = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    options.programFd = notAProgram;
    PipedProcess r;
    EXPECT_THROW(r.Start(std::vector<std::string>{"x"}, options), Utils::Exception);
    ::close(notAProgram);
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
    options.parentDeathSignal = SIGTERM;
    const std::vector<std::string> sleeper{"/bin/sleep", "30"};

    PipedProcess bound;
    std::thread([&] { bound.Start(sleeper, options); }).join();
    const pid_t boundGroup = bound.Pid();
    EXPECT_TRUE(GroupGoneWithin(boundGroup, 3000));
    EXPECT_EQ(bound.Wait(), 128 + SIGTERM);

    PipedProcess released;
    pid_t releasedGroup = -1;
    std::thread([&] {
        released.Start(sleeper, options);
        releasedGroup = released.Pid();
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
    options.parentDeathSignal = SIGTERM;
    PipedProcess exits;
    exits.Start(std::vector<std::string>{CHILD_PROBE, "exit", "7"}, options);
    EXPECT_EQ(exits.Wait(), 7);
    EXPECT_EQ(exits.TermSignal(), 0);
    PipedProcess killed;
    killed.Start(std::vector<std::string>{"/bin/sleep", "30"}, options);
    ::usleep(100000);
    // Only the child, not the guard: the guard must die the same way.
    for (int i = 0; i < 50; ++i) {
        if (::kill(-killed.Pid(), 0) == 0) break;
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

