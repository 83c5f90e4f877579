#include "analytics/tracker/source/src/NativeTrackLogger.h"

#include "utils/Log.h"
#include "utils/StringUtils.h"
#include "utils/UniqueHandle_win32.h"

namespace varnel::tracking {

struct NativeTrackLogger::File {
    Utils::UniqueHandle handle;
};

NativeTrackLogger::NativeTrackLogger() = default;

NativeTrackLogger::~NativeTrackLogger() { close(); }

bool NativeTrackLogger::open(const std::string& path) {
    std::lock_guard guard(lock_);
    if (file_ && path == path_) return true;
    if (path.empty()) return false;
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end of the file, as with
    // O_APPEND. Others may read the log while it is open.
    Utils::UniqueHandle handle(CreateFileW(Utils::FromUtf8(path).c_str(), GENERIC_READ | FILE_APPEND_DATA,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        QLOG(L"tracker log %S: system error %lu\r\n", path.c_str(), GetLastError());
        return false;
    }
    auto file = std::make_unique<File>();
    file->handle = std::move(handle);
    file_ = std::move(file);  // an earlier file is closed with its holder
    path_ = path;
    return true;
}

void NativeTrackLogger::close() {
    std::lock_guard guard(lock_);
    if (!file_) return;
    if (!file_->handle.Reset()) QLOG(L"tracker log close: system error %lu\r\n", GetLastError());
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
        const DWORD piece = static_cast<DWORD>(text.size() > 0x10000000u ? 0x10000000u : text.size());
        DWORD written = 0;
        if (!WriteFile(file_->handle.Get(), text.data(), piece, &written, nullptr) || written == 0) return false;
        text.remove_prefix(written);
    }
    return true;
}

}  // namespace varnel::tracking
