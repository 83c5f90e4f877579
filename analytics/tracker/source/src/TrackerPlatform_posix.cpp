#include "analytics/tracker/source/src/TrackerPlatform.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <uuid/uuid.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "utils/Log.h"
#include "utils/SpecialFolders.h"
#include "utils/StringUtils.h"
#include "utils/SystemInfo.h"
#include "utils/SystemLocale.h"

namespace varnel::tracking::platform {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

bool IsFolder(const std::filesystem::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string OsName() { return "Linux"; }

std::string OsVersion() { return Utils::ToUtf8(Utils::GetOsVersionName().second); }

bool Is64BitSystem() {
    if constexpr (sizeof(void*) == 8) return true;
    struct utsname name {};
    if (::uname(&name) != 0) return false;
    const std::string_view machine = name.machine;
    return machine.find("64") != std::string_view::npos || machine == "s390x";
}

std::string UserAgent(const std::string& osName, const std::string& osVersion, bool is64Bit) {
    return "Mozilla/5.0(" + osName + " " + osVersion + "; " + osName + (is64Bit ? "64;)" : "32;)");
}

std::string AppPlatform() { return "Linux"; }

std::string SdkName() { return "LinuxCPP"; }

bool CreateGuidBytes(std::array<std::uint8_t, 16>& bytes) {
    uuid_t id;
    uuid_generate_random(id);
    std::copy(std::begin(id), std::end(id), bytes.begin());
    // An all-zero result would be the null GUID: treat it as a failure so the caller retries.
    return std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; });
}

std::pair<int, int> PrimaryScreenSize() {
    const Utils::ScreenSize screen = Utils::PrimaryScreenSize();
    return {screen.width, screen.height};
}

std::pair<std::string, std::string> UserLanguageAndCountry() { return Utils::SystemLanguageAndCountry(); }

bool CreateFolderChain(const std::filesystem::path& folder) {
    if (folder.empty()) return false;
    std::filesystem::path current;
    for (const std::filesystem::path& part : folder.lexically_normal()) {
        current /= part;
        if (part.empty() || part == current.root_path()) continue;
        if (::mkdir(current.c_str(), 0700) == 0) continue;
        if (errno != EEXIST || !IsFolder(current)) {
            const int error = errno == EEXIST ? ENOTDIR : errno;
            QLOG(L"tracker folder %S: %S\r\n", current.c_str(), std::strerror(error));
            return false;
        }
    }
    return IsFolder(folder);
}

std::optional<std::filesystem::path> FindFileNoCase(const std::filesystem::path& folder, const std::string& name) {
    if (folder.empty()) return std::nullopt;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) return std::nullopt;
    const std::string wanted = Utils::AsciiLower(name);
    std::vector<std::string> matches;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string entryName = entry->d_name;
        if (Utils::AsciiLower(entryName) != wanted) continue;
        struct stat st {};
        if (::stat((folder / entryName).c_str(), &st) == 0 && S_ISREG(st.st_mode)) matches.push_back(entryName);
    }
    if (matches.empty()) return std::nullopt;
    const auto exact = std::find(matches.begin(), matches.end(), name);
    if (exact != matches.end()) return folder / *exact;
    return folder / *std::min_element(matches.begin(), matches.end());
}

std::filesystem::path ExecutableFolder() {
    const std::filesystem::path executable = Utils::ExecutablePath();
    return executable.empty() ? std::filesystem::path() : executable.parent_path();
}

std::filesystem::path LocalStateFolder() { return Utils::StateHome(); }

}  // namespace varnel::tracking::platform
