#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "tests/utils/PipedProcessTestSupport.h"
#include "utils/Exception.h"
#include "utils/PipedProcess.h"
#include "utils/StringUtils.h"

using Utils::PipedProcess;
using processtest::Probe;
using processtest::ReadAll;

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
