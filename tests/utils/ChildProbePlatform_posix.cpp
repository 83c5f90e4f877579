#include "tests/utils/ChildProbePlatform.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace probe {

bool PrintOpenDescriptors() {
    DIR* d = ::opendir("/proc/self/fd");
    if (!d) return false;
    const int own = ::dirfd(d);
    while (dirent* e = ::readdir(d)) {
        if (e->d_name[0] == '.') continue;
        if (std::atoi(e->d_name) != own) std::printf("%s\n", e->d_name);
    }
    ::closedir(d);
    return true;
}

void UseBinaryStdio() {}  // POSIX streams never translate

std::string HeldFile(const std::string& value) {
    char target[4096];
    const ssize_t n = ::readlink(("/proc/self/fd/" + value).c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

long long OwnProcessId() { return ::getpid(); }

std::string OwnCommandLine() { return {}; }

long long StartSelf(const std::vector<std::string>& args) {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return -1;
    self[n] = '\0';
    std::vector<char*> argv{self};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return -1;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, self, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

void SleepMs(long ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    while (::nanosleep(&t, &t) != 0) {
    }
}

}  // namespace probe
