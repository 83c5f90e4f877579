#include "utils/HardDiskManager.h"

#include <filesystem>

#include "utils/Log.h"
#include "utils/PathText.h"
#include "utils/WindowsApi_win32.h"

namespace Utils {

bool HardDiskManager::CheckFreeSpace(const std::wstring& path) {
    // An empty path would ask for the current folder's drive: not what any caller means.
    if (path.empty()) {
        QLOG(L"HardDiskManager::CheckFreeSpace FAIL code=%ld\r\n", static_cast<long>(ERROR_PATH_NOT_FOUND));
        return false;
    }
    std::filesystem::path p = PathFromWide(path);
    std::error_code ec;
    while (!std::filesystem::exists(p, ec) && p.has_relative_path() && p != p.parent_path()) p = p.parent_path();
    if (p.empty()) p = L".";
    ULARGE_INTEGER available{}, total{}, free{};
    if (!GetDiskFreeSpaceExW(p.c_str(), &available, &total, &free)) {
        QLOG(L"HardDiskManager::CheckFreeSpace FAIL code=%ld\r\n", static_cast<long>(GetLastError()));
        return false;
    }
    available_ = available.QuadPart;
    total_ = total.QuadPart;
    free_ = free.QuadPart;
    return true;
}

}  // namespace Utils
