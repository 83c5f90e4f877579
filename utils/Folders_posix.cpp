#include "utils/Folders.h"

#include <cerrno>
#include <fcntl.h>
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

// Gives a folder this process just made its intended mode: mkdir honours the umask, which
// can take bits away (or, set to 0, leave others' write bits the caller asked not to have).
// Never through a link someone put in its place; works on a folder the umask left unreadable.
bool SetFolderMode(const std::string& path, unsigned mode) {
    return ::fchmodat(AT_FDCWD, path.c_str(), mode, AT_SYMLINK_NOFOLLOW) == 0;
}

// mkdir that accepts an existing folder (but not an existing file or a dangling link).
bool EnsureFolder(const std::string& path, unsigned mode) {
    if (::mkdir(path.c_str(), mode) == 0) return SetFolderMode(path, mode);
    if (errno != EEXIST) return false;
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::wstring GetTempFolder() {
    const std::string folder = (TempRoot() / ToUtf8(kPrivateTempName)).string();
    if (!IsPrivateFolder(folder)) {
        if (::mkdir(folder.c_str(), 0700) == 0) SetFolderMode(folder, 0700);
        else if (errno != EEXIST) return {};
        // Checked again after creation: someone may have raced us with a link or a folder
        // of their own, and mkdir honours the umask.
        if (!IsPrivateFolder(folder)) {
            QLOG(L"GetTempFolder refused %S\r\n", folder.c_str());
            return {};
        }
    }
    return FromUtf8(folder) + L"/";
}

bool CreateFolders(const std::filesystem::path& path, unsigned mode) {
    const std::string p = path.string();
    // Every prefix ending in a separator, then the whole path when text follows the last one.
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i] != '/' || i == 0) continue;
        if (!EnsureFolder(p.substr(0, i + 1), mode)) return false;
    }
    if (!p.empty() && p.back() != '/' && !EnsureFolder(p, mode)) return false;
    return true;
}

bool CreateDirectories(const std::wstring& path, unsigned mode) {
    if (path.size() > kMaxPathChars) return false;
    return CreateFolders(ToUtf8(path), mode);
}

bool SameFolderName(const std::wstring& a, const std::wstring& b) { return a == b; }

}  // namespace Utils
