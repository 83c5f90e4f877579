#include "analytics/tracker/source/src/NativeTrackLogFile.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

namespace varnel::tracking::tracklog {

Utils::FileHandle OpenLogFile(const std::string& path, Utils::FileError& error) {
    // The log lives in the user's private state folder: readable by the user only.
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error.code = errno;
        return {};
    }
    return Utils::FileHandle(fd);
}

std::string ErrorText(const Utils::FileError& error) { return std::strerror(error.code); }

}  // namespace varnel::tracking::tracklog
