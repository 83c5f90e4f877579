#pragma once
// A temporary folder for one test, removed with everything in it at the end of the test.
// Created under $QV_TEST_ROOT when the test script sets it, else under the system's temp root.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

namespace testsupport {

class TempDir {
public:
    // A new folder with a random name: create_directory reports whether it made the folder, so
    // a name another test (or process) took first is never shared.
    TempDir() {
        const char* root = std::getenv("QV_TEST_ROOT");
        const std::filesystem::path base =
            root && *root ? std::filesystem::path(root) : std::filesystem::temp_directory_path();
        std::random_device seed;
        std::mt19937_64 rng(seed());
        static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = "qv.";
            for (int i = 0; i < 8; ++i) name += kChars[rng() % (sizeof kChars - 1)];
            std::error_code ec;
            if (std::filesystem::create_directory(base / name, ec)) {
                path_ = base / name;
                std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::replace, ec);
                return;
            }
            if (ec) throw std::runtime_error("cannot create a folder in " + base.string() + ": " + ec.message());
        }
        throw std::runtime_error("no free folder name in " + base.string());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    // Writes `content` to a file below the folder (parents created) and returns its path.
    std::filesystem::path Write(const std::string& name, const std::string& content) const {
        const auto p = path_ / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
