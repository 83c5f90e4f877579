#pragma once
// Points the per-user folders (HOME, XDG_*, APPDATA) at a temporary folder for one test and
// restores them afterwards. Only for single-threaded tests or before any thread starts.
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace installtest {

class ScopedEnv {
public:
    explicit ScopedEnv(const std::filesystem::path& root, bool withAppData = true) {
        Set("HOME", root / "home");
        Set("XDG_CONFIG_HOME", root / "config");
        Set("XDG_DATA_HOME", root / "data");
        Set("XDG_STATE_HOME", root / "state");
        Set("XDG_RUNTIME_DIR", root / "runtime");
        std::filesystem::create_directories(root / "runtime");
        std::filesystem::permissions(root / "runtime", std::filesystem::perms::owner_all);
        if (withAppData) Set("APPDATA", root / "appdata");
        else Unset("APPDATA");
    }
    ~ScopedEnv() {
        for (const auto& [name, value] : saved_) {
            if (value) setenv(name.c_str(), value->c_str(), 1);
            else unsetenv(name.c_str());
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void Save(const std::string& name) {
        if (saved_.count(name)) return;
        const char* v = std::getenv(name.c_str());
        saved_[name] = v ? std::optional<std::string>(v) : std::nullopt;
    }
    void Set(const std::string& name, const std::filesystem::path& value) {
        Save(name);
        setenv(name.c_str(), value.c_str(), 1);
    }
    void Unset(const std::string& name) {
        Save(name);
        unsetenv(name.c_str());
    }

    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace installtest
