#include "install/InstallFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "utils/FileHandle.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

namespace InstallFiles {
namespace {

bool CopyContent(const Utils::FileHandle& in, Utils::FileHandle& out) {
    char buffer[64 * 1024];
    for (int64_t offset = 0;;) {
        const int64_t n = in.ReadAt(buffer, sizeof buffer, offset);
        if (n == 0) return true;
        if (n < 0) {
            errno = static_cast<int>(-n);
            return false;
        }
        if (const Utils::FileError e = out.WriteAll(buffer, static_cast<size_t>(n)); !e) {
            errno = e.code;
            return false;
        }
        offset += n;
    }
}

}  // namespace

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || folder.back() == L'/') return folder + name;
    return folder + L"/" + name;
}

std::wstring ParentFolder(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'/');
    if (slash == std::wstring::npos) return {};
    return slash == 0 ? std::wstring(L"/") : path.substr(0, slash);
}

std::wstring Unquote(const std::wstring& path) {
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') return path.substr(1, path.size() - 2);
    return path;
}

std::wstring WithoutTrailingSeparator(std::wstring folder) {
    while (folder.size() > 1 && folder.back() == L'/') folder.pop_back();
    return folder;
}

bool FileExists(const std::wstring& path) {
    if (path.empty()) return false;
    struct stat st{};
    return ::stat(Utils::ToUtf8(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DeleteFileIfExists(const std::wstring& path) {
    if (path.empty()) return true;
    if (::unlink(Utils::ToUtf8(path).c_str()) == 0 || errno == ENOENT) return true;
    QLOG(L"unlink %s failed: %S\r\n", path.c_str(), std::strerror(errno));
    return false;
}

bool MakeOwnerExecutable(const std::wstring& path) {
    if (::chmod(Utils::ToUtf8(path).c_str(), 0700) == 0) return true;
    QLOG(L"chmod %s failed: %S\r\n", path.c_str(), std::strerror(errno));
    return false;
}

CopyOutcome CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
    if (to.empty()) return CopyOutcome::kTargetFailed;
    const std::string target = Utils::ToUtf8(to);
    // Whatever happens below, an old copy must not survive under the target's name.
    if (const Utils::FileError e = Utils::RemoveFile(target); !e) {
        QLOG(L"unlink %s failed: %S\r\n", to.c_str(), std::strerror(e.code));
        return CopyOutcome::kTargetFailed;
    }
    if (from.empty()) return CopyOutcome::kSourceRefused;
    // The copy runs with this process's rights: its source must not be a link, nor a file
    // another user could have put there.
    Utils::FileError error;
    const Utils::FileHandle in = Utils::FileHandle::OpenRead(Utils::ToUtf8(from), &error);
    struct stat st{};
    if (!in.IsOpen() || ::fstat(in.Native(), &st) != 0 || (st.st_uid != ::geteuid() && st.st_uid != 0)) {
        QLOG(L"%s refused as the source of a copy (%S)\r\n", from.c_str(), std::strerror(error.code));
        return CopyOutcome::kSourceRefused;
    }
    const std::string temp = target + ".copy-" + std::to_string(::getpid());
    Utils::FileHandle out = Utils::FileHandle::CreateFresh(temp, 0700, &error);
    if (!out.IsOpen()) {
        QLOG(L"creating the copy of %s failed: %S\r\n", to.c_str(), std::strerror(error.code));
        return CopyOutcome::kTargetFailed;
    }
    bool ok = CopyContent(in, out) && out.Close().Ok();
    if (ok) {
        const Utils::FileError renamed = Utils::RenameFile(temp, target);
        ok = renamed.Ok();
        errno = renamed.code;
    }
    if (!ok) {
        QLOG(L"copy %s to %s failed: %S\r\n", from.c_str(), to.c_str(), std::strerror(errno));
        Utils::RemoveFile(temp);
        return CopyOutcome::kTargetFailed;
    }
    return CopyOutcome::kCopied;
}

}  // namespace InstallFiles
