// Prints the MD5 of a file the way the installer computes it, for the MD5 benchmark.
#include <cstdio>

#include "utils/SystemInfo.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv_md5_file FILE\n");
        return 2;
    }
    const std::string digest = Utils::FileMd5Hex(argv[1]);
    if (digest.empty()) return 1;
    std::printf("%s\n", digest.c_str());
    return 0;
}
