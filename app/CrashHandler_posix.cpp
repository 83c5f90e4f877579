#include "app/CrashHandler.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "utils/SignalStack.h"

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

CrashHandler::Reporter* g_reporter = nullptr;  // set once on the main thread, never freed
std::atomic<bool> g_reporting{false};

void OnFatalSignal(int sig, siginfo_t*, void*) {
    // Only the first crash reports; a crash inside the reporter or on a second thread goes
    // straight to the default action.
    if (!g_reporting.exchange(true) && g_reporter && *g_reporter) {
        try {
            (*g_reporter)(sig);
        } catch (...) {
        }
    }
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    // Unblock and re-raise: the process ends by the original signal (and dumps core as usual).
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
}

}  // namespace

std::wstring CrashHandler::Describe(int crashCode) { return L"signal " + std::to_wstring(crashCode); }

bool CrashHandler::PrepareThread() { return Utils::EnsureAlternateSignalStack(); }

bool CrashHandler::Install(Reporter reporter) {
    if (!g_reporter) g_reporter = new Reporter();
    *g_reporter = std::move(reporter);
    bool ok = PrepareThread();
    struct sigaction sa {};
    sa.sa_sigaction = &OnFatalSignal;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    for (int sig : kSignals) ok = sigaction(sig, &sa, nullptr) == 0 && ok;
    return ok;
}
