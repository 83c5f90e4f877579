#include "analytics/core/StagingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "analytics/core/Diagnostics.h"

namespace collect {
namespace {

namespace fs = std::filesystem;

void ReportFileError(const std::string& what, const std::string& path, int error) {
    detail::ReportError("EventCollect SDK staging file " + what + " failed for " + path + ": " +
                        std::strerror(error) + "\n");
}

bool IsRecordLine(std::string_view line) { return !line.empty() && line.front() == '{' && line.back() == '}'; }

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Closes a descriptor and removes the temporary file unless the rename took it over.
struct TempFile {
    int fd = -1;
    std::string path;
    bool keep = false;
    ~TempFile() {
        if (fd >= 0) ::close(fd);
        if (!keep && !path.empty()) ::unlink(path.c_str());
    }
};

}  // namespace

StagingFile::StagingFile(std::string path) : path_(std::move(path)) {}

std::string StagingFile::FilePath() const {
    if (path_.empty()) return {};
    std::error_code ec;
    if (path_.back() == '/') return path_ + kStagingFileName;
    if (fs::is_directory(path_, ec)) return path_ + "/" + kStagingFileName;
    return path_;
}

StagingFile::ReadResult StagingFile::ReadNewestRecords(std::size_t room, std::deque<std::string>& out) const {
    const std::string file = FilePath();
    if (file.empty()) return ReadResult::Missing;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) return ReadResult::Missing;
        ReportFileError("read", file, error);
        return ReadResult::Failed;
    }
    std::deque<std::string> newest;
    std::string line;
    while (std::getline(in, line)) {
        if (!IsRecordLine(line)) continue;
        newest.push_back(std::move(line));
        if (newest.size() > room) newest.pop_front();
    }
    if (in.bad()) {
        ReportFileError("read", file, errno);
        return ReadResult::Failed;
    }
    for (std::string& record : newest) out.push_back(std::move(record));
    return ReadResult::Read;
}

bool StagingFile::Write(const std::deque<std::string>& records) const {
    const std::string file = FilePath();
    if (file.empty()) return false;
    const fs::path folder = fs::path(file).parent_path();
    if (!folder.empty()) {
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec) {
            ReportFileError("folder creation", folder.string(), ec.value());
            return false;
        }
    }

    TempFile temp;
    temp.path = file + ".XXXXXX";
    temp.fd = ::mkostemp(temp.path.data(), O_CLOEXEC);  // mode 0600
    if (temp.fd < 0) {
        const int error = errno;
        temp.path.clear();
        ReportFileError("write", file, error);
        return false;
    }
    std::string text;
    for (const std::string& record : records) text.append(record).push_back('\n');
    if (!WriteAll(temp.fd, text) || ::fsync(temp.fd) != 0) {
        ReportFileError("write", file, errno);
        return false;
    }
    if (::close(temp.fd) != 0) {
        temp.fd = -1;
        ReportFileError("write", file, errno);
        return false;
    }
    temp.fd = -1;
    if (::rename(temp.path.c_str(), file.c_str()) != 0) {
        ReportFileError("rename", file, errno);
        return false;
    }
    temp.keep = true;
    return true;
}

bool StagingFile::Clear() const {
    const std::string file = FilePath();
    if (file.empty()) return true;
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
    return Write({});
}

}  // namespace collect
