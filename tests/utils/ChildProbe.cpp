// A child program for the process tests. Modes:
//   fds        print the descriptors open in this process, one per line
//   echo       copy standard input to standard output
//   args ...   print each argument between brackets
//   exit N     exit with status N
//   stderr T   write T to standard error
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string mode = argv[1];
    if (mode == "fds") {
        DIR* d = opendir("/proc/self/fd");
        if (!d) return 3;
        const int own = dirfd(d);
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            if (std::atoi(e->d_name) != own) std::printf("%s\n", e->d_name);
        }
        closedir(d);
    } else if (mode == "echo") {
        char buf[4096];
        ssize_t n;
        while ((n = read(0, buf, sizeof buf)) > 0) fwrite(buf, 1, static_cast<size_t>(n), stdout);
    } else if (mode == "args") {
        for (int i = 2; i < argc; ++i) std::printf("[%s]", argv[i]);
        std::printf("\n");
    } else if (mode == "exit" && argc > 2) {
        return std::atoi(argv[2]);
    } else if (mode == "stderr" && argc > 2) {
        std::fputs(argv[2], stderr);
    } else {
        return 2;
    }
    return 0;
}
