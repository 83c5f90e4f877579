#include "utils/Folders.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "utils/Log.h"
#include "utils/SpecialFolders.h"
#include "utils/StringUtils.h"

namespace Utils {
namespace {

bool IsPrivateFolder(const std::string& path) {
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// mkdir that accepts an existing folder (but not an existing file or a dangling link).
bool EnsureFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    if (errno != EEXIST) return false;
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::wstring GetTempFolder() {
    const std::string folder = (TempRoot() / ToUtf8(kPrivateTempName)).string();
    if (!IsPrivateFolder(folder)) {
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
        // Checked again after creation: someone may have raced us with a link or a folder
        // of their own, and mkdir honours the umask.
        if (!IsPrivateFolder(folder)) {
            QLOG(L"GetTempFolder refused %S\r\n", folder.c_str());
            return {};
        }
    }
    return FromUtf8(folder) + L"/";
}

bool CreateDirectories(const std::wstring& path) {
    if (path.size() > kMaxPathChars) return false;
    const std::string p = ToUtf8(path);
    // Every prefix ending in a separator, then the whole path when text follows the last one.
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i] != '/' || i == 0) continue;
        if (!EnsureFolder(p.substr(0, i + 1))) return false;
    }
    if (!p.empty() && p.back() != '/' && !EnsureFolder(p)) return false;
    return true;
}

}  // namespace Utils
