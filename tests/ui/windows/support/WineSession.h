#pragma once
// What a driver on the build machine needs to run Windows programs under wine: the loader, the
// wine settings the Windows test script exported (passed on to programs started with a clean
// environment), the prefix's registry through wine's own reg.exe, and the mapping of a Windows
// path onto the prefix's drives.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/WineLoader.h"
#include "tests/ui/windows/support/ClickDriver.h"

namespace winetest {

// Runs a Windows program of the prefix (reg.exe and the like) with the test's own environment.
inline std::string RunWine(std::vector<std::string> args, int* exitCode = nullptr) {
    args.insert(args.begin(), WineLoader());
    return clicktest::RunProgram(args, exitCode);
}

// A REG_SZ value of an HKCU key, or "<none>" when the key or the value is missing. Read through
// reg.exe: the prefix's registry files lag behind wine's server.
inline std::string RegistryValue(const std::string& key, const std::string& name) {
    int code = -1;
    const std::string out = RunWine({"reg", "query", "HKCU\\" + key, "/v", name}, &code);
    const size_t type = out.find("REG_SZ");
    if (code != 0 || type == std::string::npos) return "<none>";
    const size_t start = out.find_first_not_of(' ', type + 6);
    if (start == std::string::npos) return "";
    const size_t end = out.find_first_of("\r\n", start);
    return out.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Where a Windows path of the prefix ("C:\\dir\\file") lies on the build machine; empty for a
// path without a drive letter.
inline std::filesystem::path HostPath(const std::filesystem::path& prefix, const std::string& windowsPath) {
    if (windowsPath.size() < 3 || windowsPath[1] != ':' || windowsPath[2] != '\\') return {};
    std::string rest = windowsPath.substr(3);
    std::replace(rest.begin(), rest.end(), '\\', '/');
    const std::string drive{static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0]))), ':'};
    return prefix / "dosdevices" / drive / rest;
}

// The analytics identities the Windows tracker keeps in the prefix's users' folders.
inline std::set<std::string> PrefixIdentities(const std::filesystem::path& prefix) {
    std::set<std::string> ids;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(prefix / "drive_c" / "users", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() < 17 || name.compare(name.size() - 17, 17, "_VNSConfigure.ini") != 0) continue;
        std::istringstream lines(testsupport::ReadFile(it->path()));
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.rfind("DistinctId=", 0) == 0) ids.insert(line.substr(11));
        }
    }
    return ids;
}

}  // namespace winetest
