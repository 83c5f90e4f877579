#include "ui/windows/DownloadFailureReason.h"

#include <cerrno>
#include <cwchar>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "utils/HardDiskManager.h"
#include "utils/Network.h"
#include "utils/StringUtils.h"

namespace {

constexpr size_t kMaxChars = 199;

// Whether the package file can be written: an existing one must be removable, a new one must
// be creatable (it is removed again). A link in its place is never followed.
bool PackageWritable(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && ::unlink(path.c_str()) != 0) return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(path.c_str());
    return true;
}

// Formats `format` with the message cut until the result fits.
template <typename... Args>
std::wstring FitFormat(const wchar_t* format, std::wstring message, Args... before) {
    for (;;) {
        wchar_t text[kMaxChars + 1];
        const int n = std::swprintf(text, kMaxChars + 1, format, before..., message.c_str());
        if (n >= 0 && static_cast<size_t>(n) <= kMaxChars) return text;
        if (message.empty()) return std::wstring(text, wcsnlen(text, kMaxChars));
        message.resize(message.size() > 8 ? message.size() - 8 : 0);
    }
}

}  // namespace

std::wstring FormatDownloadFailureReason(int code, const std::wstring& message, double availableBytes,
                                         bool writable, unsigned network) {
    const double gib = availableBytes / 1073741824.0;
    const wchar_t* permission = writable ? L"可读" : L"无权限";
    // The message is cut first; the measured fields after it are always complete.
    std::wstring cut = message;
    for (;;) {
        wchar_t text[kMaxChars + 1];
        const int n = std::swprintf(text, kMaxChars + 1,
                                    L"1.code=%ld；2.msg=%ls；3.缓存磁盘容量=%.2fG；4.缓存读写权限=%ls；5.服务器连接状态code=%d",
                                    static_cast<long>(code), cut.c_str(), gib, permission, static_cast<int>(network));
        if (n >= 0 && static_cast<size_t>(n) <= kMaxChars) return text;
        if (cut.empty()) return std::wstring(text, wcsnlen(text, kMaxChars));
        cut.resize(cut.size() > 8 ? cut.size() - 8 : 0);
    }
}

std::wstring DownloadFailureReason(int code, const std::wstring& message, const std::wstring& packagePath) {
    const unsigned network = Utils::CheckNetwork();
    const bool writable = PackageWritable(Utils::ToUtf8(packagePath));
    Utils::HardDiskManager disk;
    const double available = disk.CheckFreeSpace(packagePath) ? static_cast<double>(disk.AvailableToCaller()) : 0.0;
    return FormatDownloadFailureReason(code, message, available, writable, network);
}

std::wstring InstallFailureReason(int code, const std::wstring& message) {
    return FitFormat(L"安装失败原因:1.code=%ld；2.msg=%ls", message, static_cast<long>(code));
}
