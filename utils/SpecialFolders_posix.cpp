#include "utils/SpecialFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace Utils {
namespace {

std::optional<std::filesystem::path> AbsoluteVar(const char* name) {
    const char* v = std::getenv(name);
    if (!v || !*v || v[0] != '/') return std::nullopt;
    return std::filesystem::path(v);
}

}  // namespace

std::filesystem::path ExecutablePath() {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : p;
}

std::filesystem::path HomeFolder() {
    if (auto h = AbsoluteVar("HOME")) return *h;
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::filesystem::path ConfigHome() { return AbsoluteVar("XDG_CONFIG_HOME").value_or(HomeFolder() / ".config"); }
std::filesystem::path DataHome() { return AbsoluteVar("XDG_DATA_HOME").value_or(HomeFolder() / ".local/share"); }
std::filesystem::path StateHome() { return AbsoluteVar("XDG_STATE_HOME").value_or(HomeFolder() / ".local/state"); }

std::optional<std::filesystem::path> AppDataFolder() {
    const char* v = std::getenv("APPDATA");
    if (!v || !*v) return std::nullopt;
    return std::filesystem::path(v);
}

std::filesystem::path CommonDocumentsFolder() { return DataHome(); }

std::filesystem::path ProgramFilesFolder() { return geteuid() == 0 ? std::filesystem::path("/opt") : DataHome(); }

std::filesystem::path TempRoot() {
    if (auto r = AbsoluteVar("XDG_RUNTIME_DIR")) return *r;
    if (auto t = AbsoluteVar("TMPDIR")) return *t;
    return "/tmp";
}

}  // namespace Utils
