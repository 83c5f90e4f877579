#include "tests/install/ChildProcessProbe.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <time.h>

namespace childtest {
namespace {

// Gone, or a zombie that only waits for its parent to collect it.
bool Ended(long long id) {
    std::ifstream stat("/proc/" + std::to_string(id) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return true;
    const size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z';
}

}  // namespace

bool EndsWithin(long long id, int ms) {
    for (int waited = 0;; waited += 20) {
        if (Ended(id)) return true;
        if (waited >= ms) return false;
        timespec t{0, 20 * 1000000L};
        ::nanosleep(&t, nullptr);
    }
}

void Kill(long long id) { ::kill(static_cast<pid_t>(id), SIGKILL); }

void SetEnv(const char* name, const char* value) {
    if (value) ::setenv(name, value, 1);
    else ::unsetenv(name);
}

}  // namespace childtest
