// compressor.exe: the sample product the sample package installs. A small gzip compressor.
//
//   compressor.exe               opens a window: choose a file, it is compressed next to itself
//                                (a usage note where the build has no window)
//   compressor.exe FILE          writes FILE.gz (FILE is kept)
//   compressor.exe -d FILE.gz    writes FILE (FILE.gz is kept)
//   compressor.exe --version     prints the version
// Exit code 0 on success, 1 on a read or write failure, 2 on bad usage (or no display for the
// window).
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <zlib.h>

#include "tools/sample-package/ProductWindow.h"
#include "tools/sample-package/SampleSystem.h"

namespace {

constexpr size_t kChunk = 65536;

int Usage() {
    sample::WriteErr("usage: compressor.exe [FILE | -d FILE.gz | --version]\n");
    return 2;
}

// A FILE closed on scope exit; Close reports whether everything written reached the file.
class ScopedFile {
public:
    ScopedFile(const std::string& path, const char* mode) : file_(sample::OpenFile(path, mode)) {}
    ~ScopedFile() { Close(); }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;
    FILE* Get() const { return file_; }
    bool Close() {
        FILE* f = file_;
        file_ = nullptr;
        return !f || std::fclose(f) == 0;
    }

private:
    FILE* file_;
};

// Runs one zlib stream (deflate or inflate, set up by the caller) from `in` to `out`.
template <typename Step>
bool Pump(z_stream& stream, FILE* in, FILE* out, Step step) {
    std::vector<unsigned char> input(kChunk), output(kChunk);
    int rc = Z_OK;
    bool ended = false;
    while (!ended) {
        stream.avail_in = static_cast<uInt>(std::fread(input.data(), 1, input.size(), in));
        if (std::ferror(in)) return false;
        stream.next_in = input.data();
        const bool last = std::feof(in) != 0;
        do {
            stream.avail_out = static_cast<uInt>(output.size());
            stream.next_out = output.data();
            rc = step(last);
            if (rc == Z_STREAM_ERROR || rc == Z_DATA_ERROR || rc == Z_MEM_ERROR || rc == Z_NEED_DICT) return false;
            const size_t produced = output.size() - stream.avail_out;
            if (std::fwrite(output.data(), 1, produced, out) != produced) return false;
        } while (stream.avail_out == 0);
        ended = rc == Z_STREAM_END;
        if (last && !ended) return false;  // a cut-off archive
    }
    return true;
}

int Decompress(const std::string& source) {
    if (source.size() < 4 || source.compare(source.size() - 3, 3, ".gz") != 0) return Usage();
    ScopedFile in(source, "rb");
    if (!in.Get()) return 1;
    ScopedFile out(source.substr(0, source.size() - 3), "wb");
    if (!out.Get()) return 1;
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 16) != Z_OK) return 1;  // gzip wrapper
    const bool ok = Pump(stream, in.Get(), out.Get(), [&](bool) { return inflate(&stream, Z_NO_FLUSH); });
    inflateEnd(&stream);
    return out.Close() && ok ? 0 : 1;
}

}  // namespace

namespace sample {

bool CompressFile(const std::string& source, std::string& target) {
    target = source + ".gz";
    ScopedFile in(source, "rb");
    if (!in.Get()) return false;
    struct stat st {};
    if (::fstat(fileno(in.Get()), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // Written under a temporary name and renamed when complete: a failure part-way leaves no
    // cut-off archive, and an existing archive of the same name stays until the new one is whole.
    const std::string partial = target + ".part";
    ScopedFile out(partial, "wb");
    if (!out.Get()) return false;
    z_stream stream{};
    bool ok = deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK;  // gzip
    if (ok) {
        ok = Pump(stream, in.Get(), out.Get(),
                  [&](bool last) { return deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH); });
        deflateEnd(&stream);
    }
    ok = out.Close() && ok;
    std::error_code renamed;
    if (ok) std::filesystem::rename(PathFromUtf8(partial), PathFromUtf8(target), renamed);
    ok = ok && !renamed;
    std::error_code ignored;
    if (!ok) std::filesystem::remove(PathFromUtf8(partial), ignored);
    return ok;
}

}  // namespace sample

int main(int argc, char** argv) {
    const std::vector<std::string> args = sample::Arguments(argc, argv);
    if (args.empty()) return sample::RunProductWindow(&argc, &argv);
    if (args.size() == 1 && args[0] == "--version") {
        sample::WriteOut(std::string("Quorvex compressor 1.0.0 (zlib ") + zlibVersion() + ")\n");
        return 0;
    }
    if (args.size() == 1) {
        std::string target;
        return sample::CompressFile(args[0], target) ? 0 : 1;
    }
    if (args.size() == 2 && args[0] == "-d") return Decompress(args[1]);
    return Usage();
}
