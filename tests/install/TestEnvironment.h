#pragma once
// Gives a whole test program its own HOME, XDG folders, APPDATA and private runtime folder,
// set by a static object before main() and so before any thread exists. The real user's
// folders are never touched.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace installtest {

class ProcessEnvironment {
public:
    ProcessEnvironment() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qv-install-env.XXXXXX").string();
        if (!mkdtemp(tmpl.data())) std::abort();
        root_ = tmpl;
        for (const char* sub : {"home", "config", "data", "state", "runtime", "appdata"})
            std::filesystem::create_directories(root_ / sub);
        setenv("HOME", (root_ / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        setenv("XDG_STATE_HOME", (root_ / "state").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
        setenv("APPDATA", (root_ / "appdata").c_str(), 1);
    }
    ~ProcessEnvironment() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    const std::filesystem::path& Root() const { return root_; }

private:
    std::filesystem::path root_;
};

}  // namespace installtest
