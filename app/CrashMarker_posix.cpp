#include "app/CrashMarker.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "utils/Folders.h"
#include "utils/Log.h"
#include "utils/SpecialFolders.h"

std::filesystem::path CrashMarker::DefaultPath() {
    return Utils::StateHome() / "VarNelSoft" / "Quorvex_Installer.crash";
}

CrashMarker::CrashMarker(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.size() < sizeof path_) std::memcpy(path_, text.c_str(), text.size() + 1);
}

bool CrashMarker::Prepare() const {
    if (!path_[0]) return false;
    return Utils::CreateFolders(Path().parent_path(), 0700);
}

void CrashMarker::Write(int crashCode) const noexcept {
    if (!path_[0]) return;
    const int savedErrno = errno;
    char text[32] = "signal ";
    size_t length = 7;
    char digits[12];
    size_t count = 0;
    unsigned value = crashCode < 0 ? 0u : static_cast<unsigned>(crashCode);
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && count < sizeof digits);
    while (count > 0) text[length++] = digits[--count];
    text[length++] = '\n';
    const int fd = ::open(path_, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        (void)!::write(fd, text, length);
        ::close(fd);
    }
    errno = savedErrno;
}

std::optional<int> CrashMarker::Take() const {
    if (!path_[0]) return std::nullopt;
    const int fd = ::open(path_, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) QLOG(L"crash marker %S unreadable: %S\r\n", path_, std::strerror(errno));
        return std::nullopt;
    }
    char text[32] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (::unlink(path_) != 0) QLOG(L"crash marker %S not removed: %S\r\n", path_, std::strerror(errno));
    int signalNumber = 0;
    if (n > 7 && std::strncmp(text, "signal ", 7) == 0)
        for (const char* p = text + 7; *p >= '0' && *p <= '9' && signalNumber < 1000; ++p)
            signalNumber = signalNumber * 10 + (*p - '0');
    return signalNumber;
}
