#include "install/ProcessSnapshot.h"

#include <filesystem>
#include <fstream>

namespace ProcessSnapshot {
namespace {

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExecutableOf(const std::filesystem::path& processFolder) {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink(processFolder / "exe", ec);
    if (!ec) {
        // A replaced executable reads "<path> (deleted)": the name is still the one it ran as.
        std::string name = FileNameOf(exe.string());
        const std::string deleted = " (deleted)";
        if (name.size() > deleted.size() && name.compare(name.size() - deleted.size(), deleted.size(), deleted) == 0)
            name.resize(name.size() - deleted.size());
        return name;
    }
    std::ifstream cmdline(processFolder / "cmdline", std::ios::binary);
    std::string argv0;
    std::getline(cmdline, argv0, '\0');
    return FileNameOf(argv0);
}

}  // namespace

bool IsRunning(const std::string& exeFileName) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string pid = it->path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (ExecutableOf(it->path()) == exeFileName) return true;
    }
    return false;
}

bool IsRunningFrom(const std::string& exePath) {
    const std::string deleted = exePath + " (deleted)";
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string pid = it->path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code linkError;
        const std::string exe = std::filesystem::read_symlink(it->path() / "exe", linkError).string();
        if (!linkError && (exe == exePath || exe == deleted)) return true;
    }
    return false;
}

}  // namespace ProcessSnapshot
