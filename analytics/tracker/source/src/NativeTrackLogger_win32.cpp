#include "analytics/tracker/source/src/NativeTrackLogFile.h"

#include "utils/StringUtils.h"
#include "utils/WindowsApi_win32.h"

namespace varnel::tracking::tracklog {

Utils::FileHandle OpenLogFile(const std::string& path, Utils::FileError& error) {
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end of the file, as with
    // O_APPEND. Others may read the log while it is open.
    const HANDLE handle = ::CreateFileW(Utils::FromUtf8(path).c_str(), GENERIC_READ | FILE_APPEND_DATA,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error.code = static_cast<int>(::GetLastError());
        return {};
    }
    return Utils::FileHandle(handle);
}

std::string ErrorText(const Utils::FileError& error) {
    return "system error " + std::to_string(static_cast<unsigned long>(static_cast<DWORD>(error.code)));
}

}  // namespace varnel::tracking::tracklog
