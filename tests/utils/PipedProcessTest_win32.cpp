// What only Windows children show: inherited handles, the command line as the system passes
// it, STILL_ACTIVE as an exit code, and the job that holds a child's process tree.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/TempDir.h"
#include "tests/utils/PipedProcessTestSupport.h"
#include "utils/Exception.h"
#include "utils/PipedProcess.h"
#include "utils/Pipe_win32.h"
#include "utils/StringUtils.h"
#include "utils/UniqueHandle_win32.h"

using Utils::PipedProcess;
using processtest::Probe;
using processtest::ReadAll;

namespace {

bool Inheritable(HANDLE h) {
    DWORD flags = 0;
    return ::GetHandleInformation(h, &flags) && (flags & HANDLE_FLAG_INHERIT);
}

// True when process `id` has ended within `ms` (or no longer exists).
bool EndsWithin(long long id, DWORD ms) {
    Utils::UniqueHandle p(::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id)));
    if (!p) return true;
    return ::WaitForSingleObject(p.Get(), ms) == WAIT_OBJECT_0;
}

void Kill(long long id) {
    Utils::UniqueHandle p(::OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(id)));
    if (p) ::TerminateProcess(p.Get(), 9);
}

// The probe's id and its spawned child's, once the probe has written them.
bool ReadPids(const std::filesystem::path& file, long long& probe, long long& child) {
    for (int i = 0; i < 250; ++i) {
        std::ifstream in(file);
        if (in >> probe >> child && child > 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::wstring TreeScript(const std::filesystem::path& pids) {
    return Probe(L"script spawn \"pids:" + Utils::FromUtf8(pids.string()) + L"\" sleep:600000");
}

}  // namespace

TEST(PipedProcess_Handles, OnlyTheThreePipeEndsReachTheChildAndTheParentsEndsStayPrivate) {
    testsupport::TempDir tmp;
    const auto secret = tmp / "secret.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Utils::UniqueHandle leaky(::CreateFileW(secret.wstring().c_str(), GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(leaky);
    PipedProcess p;
    EXPECT_FALSE(Inheritable(p.StdOut().Native().read.Native()));
    EXPECT_FALSE(Inheritable(p.StdIn().Native().write.Native()));
    p.Start(Probe(L"holds " + std::to_wstring(reinterpret_cast<uintptr_t>(leaky.Get()))));
    const std::string held = ReadAll(p.StdOut());
    EXPECT_EQ(held.find("secret.txt"), std::string::npos) << held;
    EXPECT_EQ(p.Wait(), 0);
    EXPECT_FALSE(Inheritable(p.StdErr().Native().read.Native()));
}

TEST(PipedProcess_CommandLine, TheLineReachesTheChildExactlyAsGiven) {
    // Quotes, a bare folder with blanks and Chinese after /D=: nothing is split or re-quoted.
    const std::wstring line = Probe(L"rawline -inslang=\"zh-TW\"  -x=\"a \\\"b\\\"\" /D=C:\\目录 空格\\Pelmora");
    PipedProcess p;
    p.Start(line);
    EXPECT_EQ(ReadAll(p.StdOut()), Utils::ToUtf8(line) + "\n");
    EXPECT_EQ(p.Wait(), 0);

    PipedProcess tooLong;
    EXPECT_THROW(tooLong.Start(Probe(L"args " + std::wstring(33000, L'x'))), Utils::Exception);
}

TEST(PipedProcess_Exit, AnExitCodeOfStillActiveIsNotTakenForARunningChild) {
    PipedProcess p;
    p.Start(Probe(L"exit 259"));
    EXPECT_EQ(p.Wait(), 259);
    EXPECT_FALSE(p.IsRunning());
    EXPECT_EQ(p.TryExitCode(), 259);
    EXPECT_EQ(p.TermSignal(), 0);
}

TEST(PipedProcess_Job, StopGroupEndsTheChildAndWhatItStarted) {
    testsupport::TempDir tmp;
    Utils::SpawnOptions options;
    options.ownProcessGroup = true;
    PipedProcess p;
    p.Start(TreeScript(tmp / "pids"), options);
    long long probe = 0, child = 0;
    ASSERT_TRUE(ReadPids(tmp / "pids", probe, child));
    EXPECT_EQ(probe, p.Pid());
    EXPECT_FALSE(EndsWithin(child, 0));
    ASSERT_TRUE(p.StopGroup());
    EXPECT_TRUE(EndsWithin(child, 5000));
    EXPECT_EQ(p.Wait(), 1);

    PipedProcess ungrouped;
    ungrouped.Start(Probe(L"exit 0"));
    EXPECT_FALSE(ungrouped.StopGroup());
    ungrouped.Wait();
}

TEST(PipedProcess_Job, ABoundTreeEndsWithItsStarterUnlessItWasLetGo) {
    testsupport::TempDir tmp;
    Utils::SpawnOptions options;
    options.stopWithStarter = true;
    long long probe = 0, child = 0;
    {
        PipedProcess bound;
        bound.Start(TreeScript(tmp / "bound"), options);
        ASSERT_TRUE(ReadPids(tmp / "bound", probe, child));
    }
    EXPECT_TRUE(EndsWithin(probe, 5000));
    EXPECT_TRUE(EndsWithin(child, 5000));

    {
        PipedProcess released;
        released.Start(TreeScript(tmp / "released"), options);
        ASSERT_TRUE(ReadPids(tmp / "released", probe, child));
        released.LetGo();
        EXPECT_EQ(released.Pid(), -1);
        EXPECT_EQ(released.TryExitCode(), std::nullopt);
    }
    EXPECT_FALSE(EndsWithin(probe, 300));
    EXPECT_FALSE(EndsWithin(child, 0));
    Kill(child);
    Kill(probe);
    EXPECT_TRUE(EndsWithin(probe, 5000));
}

TEST(PipedProcess_Job, WhatAChildLeftBehindLivesOnOnceTheChildEndedByItself) {
    testsupport::TempDir tmp;
    Utils::SpawnOptions options;
    options.stopWithStarter = true;
    long long probe = 0, child = 0;
    {
        PipedProcess p;
        p.Start(Probe(L"script spawn \"pids:" + Utils::FromUtf8((tmp / "pids").string()) + L"\" exit:3"), options);
        EXPECT_EQ(p.Wait(), 3);
        ASSERT_TRUE(ReadPids(tmp / "pids", probe, child));
    }
    EXPECT_FALSE(EndsWithin(child, 300));
    Kill(child);
}
