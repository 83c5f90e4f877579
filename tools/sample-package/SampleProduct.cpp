// compressor.exe: the sample product the sample package installs. A small gzip compressor.
//
//   compressor.exe               opens a window: choose a file, it is compressed next to itself
//   compressor.exe FILE          writes FILE.gz (FILE is kept)
//   compressor.exe -d FILE.gz    writes FILE (FILE.gz is kept)
//   compressor.exe --version     prints the version
// Exit code 0 on success, 1 on a read or write failure, 2 on bad usage (or no display for the
// window).
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <zlib.h>

#include "tools/sample-package/ProductWindow.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: compressor.exe [FILE | -d FILE.gz | --version]\n");
    return 2;
}

int Decompress(const std::string& source) {
    if (source.size() < 4 || source.compare(source.size() - 3, 3, ".gz") != 0) return Usage();
    gzFile in = gzopen(source.c_str(), "rb");
    if (!in) return 1;
    FILE* out = std::fopen(source.substr(0, source.size() - 3).c_str(), "wb");
    if (!out) {
        gzclose(in);
        return 1;
    }
    char buffer[65536];
    int n;
    bool ok = true;
    while (ok && (n = gzread(in, buffer, sizeof buffer)) > 0)
        ok = std::fwrite(buffer, 1, static_cast<size_t>(n), out) == static_cast<size_t>(n);
    ok = ok && n == 0;
    gzclose(in);
    return std::fclose(out) == 0 && ok ? 0 : 1;
}

}  // namespace

namespace sample {

bool CompressFile(const std::string& source, std::string& target) {
    target = source + ".gz";
    FILE* in = std::fopen(source.c_str(), "rb");
    if (!in) return false;
    struct stat st {};
    if (::fstat(fileno(in), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(in);
        return false;
    }
    gzFile out = gzopen(target.c_str(), "wb9");
    if (!out) {
        std::fclose(in);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    size_t n;
    while (ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = gzwrite(out, buffer, static_cast<unsigned>(n)) == static_cast<int>(n);
    ok = ok && !std::ferror(in);
    std::fclose(in);
    return gzclose(out) == Z_OK && ok;
}

}  // namespace sample

int main(int argc, char** argv) {
    if (argc == 1) return sample::RunProductWindow(&argc, &argv);
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::printf("Quorvex compressor 1.0.0 (zlib %s)\n", zlibVersion());
        return 0;
    }
    if (argc == 2) {
        std::string target;
        return sample::CompressFile(argv[1], target) ? 0 : 1;
    }
    if (argc == 3 && std::string(argv[1]) == "-d") return Decompress(argv[2]);
    return Usage();
}
