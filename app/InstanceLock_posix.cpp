#include "app/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "utils/SpecialFolders.h"
#include "utils/StringUtils.h"

InstanceLock::InstanceLock(std::wstring lockName) : name_(std::move(lockName)) {}

InstanceLock::~InstanceLock() { Release(); }

std::filesystem::path InstanceLock::LockPath() const {
    return Utils::TempRoot() / ("D1A547DB89C0BC61_" + Utils::ToUtf8(name_));
}

bool InstanceLock::Acquire() {
    if (fd_ >= 0) return true;
    const int fd = ::open(LockPath().c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void InstanceLock::Release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}
