#include "utils/HardDiskManager.h"

#include <cerrno>
#include <filesystem>
#include <sys/statvfs.h>

#include "utils/Log.h"
#include "utils/StringUtils.h"

namespace Utils {

bool HardDiskManager::CheckFreeSpace(const std::wstring& path) {
    std::filesystem::path p(ToUtf8(path));
    if (p.empty()) {
        QLOG(L"HardDiskManager::CheckFreeSpace FAIL code=%ld\r\n", static_cast<long>(ENOENT));
        return false;
    }
    std::error_code ec;
    while (!std::filesystem::exists(p, ec) && p.has_relative_path() && p != p.parent_path()) p = p.parent_path();
    if (p.empty()) p = ".";
    struct statvfs st{};
    if (::statvfs(p.c_str(), &st) != 0) {
        QLOG(L"HardDiskManager::CheckFreeSpace FAIL code=%ld\r\n", static_cast<long>(errno));
        return false;
    }
    available_ = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
    total_ = static_cast<uint64_t>(st.f_blocks) * st.f_frsize;
    free_ = static_cast<uint64_t>(st.f_bfree) * st.f_frsize;
    return true;
}

}  // namespace Utils
