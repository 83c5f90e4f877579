#include "install/InstallFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "utils/Log.h"
#include "utils/StringUtils.h"

namespace InstallFiles {
namespace {

// Owns one file descriptor.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    bool Close() {
        if (fd_ < 0) return true;
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool CopyContent(int in, int out) {
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (!WriteAll(out, buffer, static_cast<size_t>(n))) return false;
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

bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
    if (to.empty()) return false;
    const std::string target = Utils::ToUtf8(to);
    // Whatever happens below, an old copy must not survive under the target's name.
    if (::unlink(target.c_str()) != 0 && errno != ENOENT) {
        QLOG(L"unlink %s failed: %S\r\n", to.c_str(), std::strerror(errno));
        return false;
    }
    if (from.empty()) return false;
    Fd in(::open(Utils::ToUtf8(from).c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0) {
        QLOG(L"open %s failed: %S\r\n", from.c_str(), std::strerror(errno));
        return false;
    }
    std::string temp = target + ".XXXXXX";
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (out.Get() < 0) {
        QLOG(L"mkostemp for %s failed: %S\r\n", to.c_str(), std::strerror(errno));
        return false;
    }
    const bool ok = CopyContent(in.Get(), out.Get()) && ::fchmod(out.Get(), 0700) == 0 && out.Close() &&
                    ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        QLOG(L"copy %s to %s failed: %S\r\n", from.c_str(), to.c_str(), std::strerror(errno));
        ::unlink(temp.c_str());
    }
    return ok;
}

}  // namespace InstallFiles
