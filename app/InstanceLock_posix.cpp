#include "app/InstanceLock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "utils/Folders.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

namespace {

// $XDG_RUNTIME_DIR when it is what the XDG rules promise: an absolute path to a real folder
// (not a link) of this user that no one else can write. A sudo session often carries the
// invoking user's folder; root must not leave a file there that the user cannot open.
std::filesystem::path TrustedRuntimeFolder() {
    const char* v = std::getenv("XDG_RUNTIME_DIR");
    if (!v || v[0] != '/') return {};
    struct stat st {};
    if (::lstat(v, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 022) != 0)
        return {};
    return v;
}

}  // namespace

// The open, locked lock file; closing it releases the lock.
struct InstanceLock::Holder {
    explicit Holder(int descriptor) : fd(descriptor) {}
    ~Holder() {
        ::flock(fd, LOCK_UN);
        ::close(fd);
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    int fd;
};

InstanceLock::InstanceLock(std::wstring lockName) : name_(std::move(lockName)) {}

InstanceLock::~InstanceLock() { Release(); }

std::wstring InstanceLock::ObjectName() const {
    const std::string file = "D1A547DB89C0BC61_" + Utils::ToUtf8(name_);
    if (auto runtime = TrustedRuntimeFolder(); !runtime.empty()) return Utils::FromUtf8((runtime / file).string());
    const std::wstring privateTemp = Utils::GetTempFolder();
    if (privateTemp.empty()) return {};
    return Utils::FromUtf8((std::filesystem::path(Utils::ToUtf8(privateTemp)) / file).string());
}

InstanceLock::Result InstanceLock::TryAcquire() {
    if (held_) return Result::Acquired;
    const std::filesystem::path path(Utils::ToUtf8(ObjectName()));
    if (path.empty()) {
        QLOG(L"instance lock: no private folder for the lock file\r\n");
        return Result::Unavailable;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    // Explicit mode: under a umask of 0777 the file would be made unopenable for our next run.
    if (fd >= 0 && ::fchmod(fd, 0600) != 0) QLOG(L"instance lock: fchmod failed: %S\r\n", std::strerror(errno));
    if (fd < 0) {
        QLOG(L"instance lock: cannot open %S: %S\r\n", path.c_str(), std::strerror(errno));
        return Result::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) return Result::HeldByAnother;
        QLOG(L"instance lock: flock failed: %S\r\n", std::strerror(err));
        return Result::Unavailable;
    }
    held_ = std::make_unique<Holder>(fd);
    return Result::Acquired;
}

void InstanceLock::Release() { held_.reset(); }
