#pragma once
// The installer's pre-check looks at every process of the machine for a running uninstaller
// copy ("Pelmora_un_asa.exe") or package. Test programs that run such processes or that run
// that pre-check take this lock for the length of a test, so that ctest's parallel test
// processes do not see each other's uninstallers. It also keeps the collector's fixed port
// for one test at a time.
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace installtest {

class ProcessTableLock {
public:
    ProcessTableLock() {
        const char* root = std::getenv("QV_TEST_ROOT");
        const std::filesystem::path file =
            std::filesystem::path(root && *root ? root : "/tmp") / "qv-install-process-table.lock";
        fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ < 0) fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);  // another user's lock file
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~ProcessTableLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    ProcessTableLock(const ProcessTableLock&) = delete;
    ProcessTableLock& operator=(const ProcessTableLock&) = delete;

private:
    int fd_ = -1;
};

}  // namespace installtest
