#pragma once
// A program running under a given file name (a copy of sleep), for the checks that look for
// running programs by name; stopped and reaped at the end of the scope. Sleeps at most a
// minute, so a test that dies without its destructor leaves nothing for long.
#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace installtest {

class NamedSleeper {
public:
    explicit NamedSleeper(const std::filesystem::path& program) {
        std::filesystem::create_directories(program.parent_path());
        std::filesystem::copy_file("/bin/sleep", program, std::filesystem::copy_options::overwrite_existing);
        std::string path = program.string(), seconds = "60";
        char* argv[] = {path.data(), seconds.data(), nullptr};
        if (posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv, environ) != 0) pid_ = -1;
    }
    ~NamedSleeper() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    NamedSleeper(const NamedSleeper&) = delete;
    NamedSleeper& operator=(const NamedSleeper&) = delete;
    bool Running() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

}  // namespace installtest
