// The platform-neutral parts of the system information.
#include "utils/SystemInfo.h"

#include <atomic>
#include <sstream>

#include "utils/StringUtils.h"

namespace Utils {
namespace {

std::atomic<ScreenSizeProvider> g_screenSizeProvider{nullptr};

// One os-release value, unquoted ("NAME=\"Debian GNU/Linux\"" -> "Debian GNU/Linux").
std::string ReleaseValue(const std::string& text, const std::string& key) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + "=", 0) != 0) continue;
        std::string v = Trim(line.substr(key.size() + 1));
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        return v;
    }
    return {};
}

}  // namespace

std::wstring OsVersionFromRelease(const std::string& osRelease, const std::string& kernelRelease) {
    const std::string name = ReleaseValue(osRelease, "NAME");
    const std::string version = ReleaseValue(osRelease, "VERSION_ID");
    std::string result = name;
    if (!version.empty()) result += (result.empty() ? "" : " ") + version;
    if (result.empty()) result = kernelRelease;
    return FromUtf8(result);
}

std::wstring WindowsVersionName(unsigned major, unsigned minor, unsigned build, bool serverR2) {
    if (major <= 4) return L"XP-";
    if (major == 5) {
        if (minor == 0) return L"2K";
        if (minor == 1) return L"XP";
        if (minor == 2) return serverR2 ? L"Server 2003 R2" : L"Server 2003";
        return L"XP+";
    }
    if (major == 6) {
        if (minor == 0) return L"Vista";
        if (minor == 1) return L"7";
        if (minor == 2) return L"8";
        if (minor == 3) return L"8.1";
        return L"8.1+";
    }
    if (major == 10) return minor == 0 ? L"10" : L"10+";
    return std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." + std::to_wstring(build & 0xFFFF);
}

void SetScreenSizeProvider(ScreenSizeProvider provider) { g_screenSizeProvider.store(provider); }

ScreenSize PrimaryScreenSize() {
    const ScreenSizeProvider provider = g_screenSizeProvider.load();
    if (!provider) return {};
    const ScreenSize size = provider();
    if (size.width <= 0 || size.height <= 0) return {};
    return size;
}

}  // namespace Utils
