#pragma once
// Starting Windows programs under wine from a test on the build machine: the loader and the
// settings a program started with a clean environment needs. Wine's settings come from the
// environment the Windows test script sets up.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace winetest {

// The loader that runs a Windows executable: the one the Windows test script chose
// (QV_WINE_LOADER), else the wine program found on PATH.
inline const char* WineLoader() {
    static const std::string path = [] {
        if (const char* chosen = std::getenv("QV_WINE_LOADER"); chosen && *chosen) return std::string(chosen);
        const char* env = std::getenv("PATH");
        const std::string list = env ? env : "/usr/bin:/bin";
        for (size_t start = 0; start <= list.size();) {
            const size_t colon = std::min(list.find(':', start), list.size());
            const std::filesystem::path candidate = std::filesystem::path(list.substr(start, colon - start)) / "wine";
            std::error_code ec;
            if (colon > start && std::filesystem::is_regular_file(candidate, ec)) return candidate.string();
            start = colon + 1;
        }
        return std::string("/usr/bin/wine");
    }();
    return path.c_str();
}

// Wine's settings and the display (with its authority file: xvfb-run's server asks for one), for a
// program started with a clean environment.
inline std::vector<std::string> WineEnvironment() {
    std::vector<std::string> env;
    for (const char* name :
         {"WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES", "WINEARCH", "WINESERVER", "WINELOADER", "QV_WINE_LOADER",
          "DISPLAY", "XAUTHORITY"})
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    return env;
}

// A Windows program of the build under test: the one the test's environment names under
// VARIABLE, else BUILT (the path compiled in). One set of drivers on the build machine serves the
// x86-64 and the x86 Windows builds; each build's ctest names its own programs.
inline const char* WindowsProgram(const char* variable, const char* built) {
    static std::map<std::string, std::string> chosen;
    auto [it, added] = chosen.try_emplace(variable);
    if (added) {
        const char* env = std::getenv(variable);
        it->second = env && *env ? env : built;
    }
    return it->second.c_str();
}

}  // namespace winetest

// The drivers name the programs through these two paths of the build (qv_test_paths).
#ifdef WINDOWS_INSTALLER
#undef WINDOWS_INSTALLER
#define WINDOWS_INSTALLER ::winetest::WindowsProgram("QV_WINDOWS_INSTALLER", qv_path_WINDOWS_INSTALLER)
#endif
#ifdef WINDOWS_SAMPLE_PACKAGE
#undef WINDOWS_SAMPLE_PACKAGE
#define WINDOWS_SAMPLE_PACKAGE ::winetest::WindowsProgram("QV_WINDOWS_SAMPLE_PACKAGE", qv_path_WINDOWS_SAMPLE_PACKAGE)
#endif
