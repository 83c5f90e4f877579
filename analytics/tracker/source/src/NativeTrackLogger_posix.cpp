#include "analytics/tracker/source/src/NativeTrackLogger.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "utils/Log.h"

namespace varnel::tracking {

struct NativeTrackLogger::File {
    int fd = -1;
};

NativeTrackLogger::NativeTrackLogger() = default;

NativeTrackLogger::~NativeTrackLogger() { close(); }

bool NativeTrackLogger::open(const std::string& path) {
    std::lock_guard guard(lock_);
    if (file_ && path == path_) return true;
    if (path.empty()) return false;
    // The log lives in the user's private state folder: readable by the user only.
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        QLOG(L"tracker log %S: %S\r\n", path.c_str(), std::strerror(errno));
        return false;
    }
    if (file_) ::close(file_->fd);
    file_ = std::make_unique<File>();
    file_->fd = fd;
    path_ = path;
    return true;
}

void NativeTrackLogger::close() {
    std::lock_guard guard(lock_);
    if (!file_) return;
    if (::close(file_->fd) != 0) QLOG(L"tracker log close: %S\r\n", std::strerror(errno));
    file_.reset();
    path_.clear();
}

bool NativeTrackLogger::isOpen() const {
    std::lock_guard guard(lock_);
    return file_ != nullptr;
}

std::string NativeTrackLogger::path() const {
    std::lock_guard guard(lock_);
    return path_;
}

bool NativeTrackLogger::write(std::string_view text) {
    std::lock_guard guard(lock_);
    if (!file_) return false;
    while (!text.empty()) {
        const ssize_t n = ::write(file_->fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace varnel::tracking
