#include "analytics/tracker/source/src/NativeTrackLogger.h"

#include "analytics/tracker/source/src/NativeTrackLogFile.h"
#include "utils/Log.h"

namespace varnel::tracking {

struct NativeTrackLogger::File {
    Utils::FileHandle handle;
};

NativeTrackLogger::NativeTrackLogger() = default;

NativeTrackLogger::~NativeTrackLogger() { close(); }

bool NativeTrackLogger::open(const std::string& path) {
    std::lock_guard guard(lock_);
    if (file_ && path == path_) return true;
    if (path.empty()) return false;
    Utils::FileError error;
    Utils::FileHandle handle = tracklog::OpenLogFile(path, error);
    if (!handle.IsOpen()) {
        QLOG(L"tracker log %S: %S\r\n", path.c_str(), tracklog::ErrorText(error).c_str());
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
    if (const Utils::FileError error = file_->handle.Close(); !error)
        QLOG(L"tracker log close: %S\r\n", tracklog::ErrorText(error).c_str());
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
    return file_->handle.WriteAll(text.data(), text.size()).Ok();
}

}  // namespace varnel::tracking
