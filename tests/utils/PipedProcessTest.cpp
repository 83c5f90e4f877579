#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <set>
#include <sstream>

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
