#include "install/InstallFolderCheck.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "utils/Folders.h"
#include "utils/StringUtils.h"

namespace InstallFolderCheck {
namespace {

std::wstring Errno(const std::wstring& what, int error) {
    return what + L": " + Utils::FromUtf8(std::strerror(error));
}

// The folder's components ("/a/b" gives "a", "b").
std::vector<std::wstring> Components(const std::wstring& folder) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= folder.size()) {
        const size_t slash = folder.find(L'/', start);
        const size_t end = slash == std::wstring::npos ? folder.size() : slash;
        if (end > start) parts.push_back(folder.substr(start, end - start));
        if (slash == std::wstring::npos) break;
        start = slash + 1;
    }
    return parts;
}

}  // namespace

std::wstring NameProblem(const std::wstring& folder) {
    if (folder.empty()) return L"no folder given";
    if (folder.front() != L'/') return L"the folder is not an absolute path";
    for (const wchar_t c : folder) {
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return L"the folder name holds a control character";
        if (c == L'"') return L"the folder name holds a double quote";
    }
    for (const auto& part : Components(folder)) {
        if (part.front() == L' ' || part.back() == L' ')
            return L"a folder name starts or ends with a blank: \"" + part + L"\"";
    }
    return {};
}

std::wstring OwnershipProblem(const std::wstring& folder, Trust trust) {
    const uid_t trustedUid = trust == Trust::kCurrentUser ? ::geteuid() : 0;
    std::string path = Utils::ToUtf8(folder);
    // From the folder (or its nearest existing ancestor) up to the root, each must be safe.
    for (;;) {
        struct stat st{};
        if (::lstat(path.c_str(), &st) == 0) {
            const std::wstring name = Utils::FromUtf8(path);
            if (S_ISLNK(st.st_mode)) {
                // A link is only as safe as its owner and its target.
                if (st.st_uid != 0 && st.st_uid != trustedUid) return L"a link owned by another user: " + name;
                if (::stat(path.c_str(), &st) != 0) return Errno(L"cannot inspect " + name, errno);
            }
            if (!S_ISDIR(st.st_mode)) return L"not a folder: " + name;
            if (st.st_uid != 0 && st.st_uid != trustedUid) return L"owned by another user: " + name;
            if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0)
                return L"writable by other users: " + name;
        } else if (errno != ENOENT) {
            return Errno(L"cannot inspect " + Utils::FromUtf8(path), errno);
        }
        if (path == "/" || path.empty()) return {};
        const size_t slash = path.find_last_of('/');
        path = slash == 0 ? std::string("/") : path.substr(0, slash);
    }
}

std::wstring CreateProblem(const std::wstring& folder) {
    if (folder.size() > Utils::kMaxPathChars) return L"the folder has more than 260 characters";
    std::string path;
    for (const auto& part : Components(folder)) {
        path += "/" + Utils::ToUtf8(part);
        if (::mkdir(path.c_str(), 0755) == 0) {
            // The umask may have taken bits away (or a caller's umask 000 would have left
            // nothing out): the mode is set explicitly.
            if (::chmod(path.c_str(), 0755) != 0) return Errno(L"cannot set the mode of " + Utils::FromUtf8(path), errno);
            continue;
        }
        if (errno != EEXIST) return Errno(L"cannot create " + Utils::FromUtf8(path), errno);
        struct stat st{};
        if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return L"not a folder: " + Utils::FromUtf8(path);
    }
    return {};
}

std::wstring WriteProblem(const std::wstring& folder) {
    const std::string path = Utils::ToUtf8(folder);
    // An unnamed file tells whether the folder takes new files without leaving one behind;
    // file systems without O_TMPFILE get a named probe.
    int fd = ::open(path.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return Errno(L"cannot write into " + folder, errno);
    std::string probe = path + "/.qv-write-probe.XXXXXX";
    fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0) return Errno(L"cannot write into " + folder, errno);
    ::close(fd);
    ::unlink(probe.c_str());
    return {};
}

}  // namespace InstallFolderCheck
