#include <gtest/gtest.h>

#include <csignal>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

#include "app/CrashHandler.h"
#include "utils/Thread.h"

namespace {

// Runs `crash` in a forked child with the handler installed; returns the child's wait status
// and what its reporter wrote.
std::pair<int, std::string> CrashChild(const std::function<void()>& crash) {
    int fds[2];
    if (pipe(fds) != 0) return {-1, ""};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const int out = fds[1];
        CrashHandler::Install([out](int sig) {
            char msg[32];
            const int n = snprintf(msg, sizeof msg, "reported %d;", sig);
            (void)!write(out, msg, static_cast<size_t>(n));
        });
        crash();
        _exit(0);
    }
    close(fds[1]);
    std::string text;
    char buf[64];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return {status, text};
}

// Recursion deep enough to overflow any thread stack, which the optimiser cannot turn into a loop.
__attribute__((noinline)) unsigned Recurse(unsigned depth) {
    if (depth == 0xFFFFFFFFu) return 0;
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + frame[0];
}

}  // namespace

TEST(CrashHandler_Signals, ReportsOnceThenDiesByTheOriginalSignal) {
    for (int sig : {SIGSEGV, SIGABRT, SIGFPE, SIGBUS, SIGILL}) {
        const auto [status, text] = CrashChild([sig] { raise(sig); });
        ASSERT_TRUE(WIFSIGNALED(status)) << sig;
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_EQ(text, "reported " + std::to_string(sig) + ";");
    }
}

TEST(CrashHandler_Signals, CrashOnAWorkerThreadIsReportedToo) {
    const auto [status, text] = CrashChild([] {
        std::thread([] { raise(SIGSEGV); }).join();
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    EXPECT_EQ(text, "reported 11;");
}

TEST(CrashHandler_Signals, StackOverflowOnAWorkerThreadIsReported) {
    // The reporter needs a stack of its own on the overflowing thread: a worker without an
    // alternate stack dies silently.
    const auto [status, text] = CrashChild([] {
        Utils::Thread worker(nullptr, L"overflow", [](void*) { return Recurse(0); });
        worker.Resume();
        worker.Join();
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    EXPECT_EQ(text, "reported 11;");
}

TEST(CrashHandler_Signals, ACrashInsideTheReporterDoesNotLoop) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        CrashHandler::Install([](int) { raise(SIGSEGV); });
        raise(SIGABRT);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(fds[0]);
    close(fds[1]);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
}
