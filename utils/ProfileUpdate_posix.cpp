#include "utils/ProfileUpdate.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "utils/Log.h"
#include "utils/ProfileFile.h"
#include "utils/ProfileUpdatePlatform.h"

namespace Utils {
namespace {

constexpr int kMaxReopens = 100;     // files replaced under us before we give up

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

bool LockWithTimeout(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + kProfileLockTimeout;
    while (true) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool ReadAll(int fd, std::string& out) {
    out.clear();
    char buffer[8192];
    off_t offset = 0;
    while (true) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        out.append(buffer, static_cast<size_t>(n));
        offset += n;
    }
}

}  // namespace

namespace detail {

ProfilePathKind ExamineProfilePath(const std::filesystem::path& path, bool throughLink) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        // A missing file is created; through a link only when the link was ours (checked).
        return errno == ENOENT ? ProfilePathKind::Target : ProfilePathKind::Unusable;
    }
    if (!S_ISLNK(st.st_mode)) {
        return throughLink && st.st_uid != ::geteuid() ? ProfilePathKind::TargetOfAnotherUser
                                                       : ProfilePathKind::Target;
    }
    return st.st_uid != ::geteuid() ? ProfilePathKind::LinkOfAnotherUser : ProfilePathKind::Link;
}

}  // namespace detail

bool UpdateProfileFile(const std::filesystem::path& file, const std::function<bool(ProfileFile&)>& change,
                       unsigned newFileMode) {
    const auto target = ResolveProfileTarget(file);
    if (!target) return false;
    const char* path = target->c_str();
    for (int attempt = 0; attempt < kMaxReopens; ++attempt) {
        // 1. Open (or create) the file itself: never a link (resolved above), never blocking
        //    on a FIFO or a device planted in its place.
        Descriptor d;
        bool created = false;
        d.fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (d.fd < 0 && errno == ENOENT) {
            d.fd = ::open(path, O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (d.fd < 0 && errno == EEXIST) continue;  // another writer created it first
            created = d.fd >= 0;
            if (created && ::fchmod(d.fd, newFileMode) != 0) {
                ::unlink(path);
                return false;
            }
        }
        if (d.fd < 0) return false;
        struct stat opened {};
        if (::fstat(d.fd, &opened) != 0 || !S_ISREG(opened.st_mode)) return false;

        // 2. Lock, then make sure the path still names what we locked: a writer that held the
        //    lock before us renamed a new file over it, and that one is what we must read.
        if (!LockWithTimeout(d.fd)) {
            QLOG(L"profile write: %S stays locked by another writer\r\n", path);
            return false;
        }
        struct stat now {};
        if (::stat(path, &now) != 0 || now.st_dev != opened.st_dev || now.st_ino != opened.st_ino) continue;

        // 3. Read, change, replace; the lock is released when the descriptor closes, after
        //    the rename.
        std::string text;
        if (!ReadAll(d.fd, text)) return false;
        ProfileFile profile = ProfileFile::FromFileBytes(text);
        if (!change(profile)) {
            if (created) ::unlink(path);
            return false;
        }
        return profile.Save(*target, newFileMode);
    }
    return false;
}

bool ProfileFile::Save(const std::filesystem::path& path, unsigned mode) const {
    // Through a link, the target is replaced (beside itself), never the link.
    const auto target = ResolveProfileTarget(path);
    if (!target) return false;
    const std::filesystem::path& file = *target;
    struct stat st{};
    if (::stat(file.c_str(), &st) == 0) mode = st.st_mode & 07777;
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    std::string tmpl = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return false;
    const std::string data = ToFileBytes();
    bool ok = ::fchmod(fd, mode) == 0;  // explicit: neither mkstemp's 0600 nor the umask decide
    size_t done = 0;
    while (ok && done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tmpl.c_str(), file.c_str()) == 0;
    if (!ok) ::unlink(tmpl.c_str());
    return ok;
}

}  // namespace Utils
