// skin-zip: packs folder trees into one deflated zip whose bytes depend only on the files'
// names and contents: entries sorted by name, fixed timestamps, no extra fields, no file
// attributes. Two builds of the same sources give the same archive.
//
//   skin-zip OUT.zip ROOT [ROOT...]
//
// Every regular file below each ROOT is stored under its path relative to that ROOT ("/"
// separators). The build file "CMakeLists.txt" at a root's top is left out. A name found under
// two roots is an error. Exit codes: 0 written, 1 input or output error, 2 usage.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// 1980-01-01 00:00:00, the earliest time a zip entry can carry.
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;

void Put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void Put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

bool ReadFile(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool Deflate(const std::string& in, std::string& out) {
    z_stream z{};
    // Raw deflate (negative window bits), as zip stores it.
    if (deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    out.resize(deflateBound(&z, in.size()));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return rc == Z_STREAM_END;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: skin-zip OUT.zip ROOT [ROOT...]\n");
        return 2;
    }
    std::map<std::string, fs::path> files;
    for (int i = 2; i < argc; ++i) {
        const fs::path root = argv[i];
        std::error_code ec;
        for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
            if (!it->is_regular_file()) continue;
            const std::string name = fs::relative(it->path(), root).generic_string();
            if (name == "CMakeLists.txt") continue;
            if (!files.emplace(name, it->path()).second) {
                std::fprintf(stderr, "skin-zip: '%s' is in more than one root\n", name.c_str());
                return 1;
            }
        }
        if (ec) {
            std::fprintf(stderr, "skin-zip: cannot list '%s': %s\n", argv[i], ec.message().c_str());
            return 1;
        }
    }
    if (files.size() > 0xFFFF) {
        std::fprintf(stderr, "skin-zip: too many files\n");
        return 1;
    }

    std::string archive, central;
    for (const auto& [name, path] : files) {
        std::string raw, packed;
        if (!ReadFile(path, raw) || !Deflate(raw, packed)) {
            std::fprintf(stderr, "skin-zip: cannot read or pack '%s'\n", path.c_str());
            return 1;
        }
        if (raw.size() > 0xFFFFFFF0u || archive.size() > 0xFFFFFFF0u) {
            std::fprintf(stderr, "skin-zip: '%s' too large for a plain zip\n", name.c_str());
            return 1;
        }
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(raw.data()), static_cast<uInt>(raw.size())));
        const auto offset = static_cast<std::uint32_t>(archive.size());
        // Bit 11: names are UTF-8.
        const std::uint16_t flags = 0x0800;
        Put32(archive, 0x04034b50);
        Put16(archive, 20);
        Put16(archive, flags);
        Put16(archive, 8);
        Put16(archive, kDosTime);
        Put16(archive, kDosDate);
        Put32(archive, crc);
        Put32(archive, static_cast<std::uint32_t>(packed.size()));
        Put32(archive, static_cast<std::uint32_t>(raw.size()));
        Put16(archive, static_cast<std::uint16_t>(name.size()));
        Put16(archive, 0);
        archive += name;
        archive += packed;

        Put32(central, 0x02014b50);
        Put16(central, 20);
        Put16(central, 20);
        Put16(central, flags);
        Put16(central, 8);
        Put16(central, kDosTime);
        Put16(central, kDosDate);
        Put32(central, crc);
        Put32(central, static_cast<std::uint32_t>(packed.size()));
        Put32(central, static_cast<std::uint32_t>(raw.size()));
        Put16(central, static_cast<std::uint16_t>(name.size()));
        Put16(central, 0);  // extra
        Put16(central, 0);  // comment
        Put16(central, 0);  // disk
        Put16(central, 0);  // internal attributes
        Put32(central, 0);  // external attributes
        Put32(central, offset);
        central += name;
    }
    const auto centralOffset = static_cast<std::uint32_t>(archive.size());
    archive += central;
    Put32(archive, 0x06054b50);
    Put16(archive, 0);
    Put16(archive, 0);
    Put16(archive, static_cast<std::uint16_t>(files.size()));
    Put16(archive, static_cast<std::uint16_t>(files.size()));
    Put32(archive, static_cast<std::uint32_t>(central.size()));
    Put32(archive, centralOffset);
    Put16(archive, 0);

    // Written beside the target and renamed, so an interrupted build never leaves half a zip.
    const std::string out = argv[1], tmp = out + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        f.write(archive.data(), static_cast<std::streamsize>(archive.size()));
        // The last buffered bytes reach the disk only on close: a full disk shows there.
        f.close();
        if (f.fail()) {
            std::fprintf(stderr, "skin-zip: cannot write '%s'\n", tmp.c_str());
            return 1;
        }
    }
    std::error_code ec;
    fs::rename(tmp, out, ec);
    if (ec) {
        std::fprintf(stderr, "skin-zip: cannot rename to '%s': %s\n", out.c_str(), ec.message().c_str());
        return 1;
    }
    return 0;
}
