#include "analytics/core/StagingFile.h"

#include <string_view>

#include "analytics/core/Diagnostics.h"
#include "utils/StringUtils.h"
#include "utils/UniqueHandle_win32.h"

namespace collect {
namespace {

void ReportFileError(const std::string& what, const std::string& path, DWORD error) {
    detail::ReportError("EventCollect SDK staging file " + what + " failed for " + path + ": system error " +
                        std::to_string(error) + "\n");
}

bool IsRecordLine(std::string_view line) { return !line.empty() && line.front() == '{' && line.back() == '}'; }

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates every missing folder of `folder` (UTF-16, either separator). False with the error of
// the level that could not be made.
bool CreateFolders(const std::wstring& folder, DWORD& error) {
    for (size_t at = 0; at <= folder.size(); ++at) {
        if (at < folder.size() && folder[at] != L'/' && folder[at] != L'\\') continue;
        const std::wstring level = folder.substr(0, at);
        // The drive ("C:"), a share root or an empty leading part names no folder to create.
        if (level.empty() || level.back() == L':' || level.find_first_not_of(L"/\\") == std::wstring::npos) continue;
        if (CreateDirectoryW(level.c_str(), nullptr)) continue;
        const DWORD failure = GetLastError();
        if (failure == ERROR_ALREADY_EXISTS && IsFolder(level)) continue;
        // A server or share name in a UNC path cannot be created and need not be.
        if (failure == ERROR_ACCESS_DENIED && IsFolder(level)) continue;
        if (level.rfind(L"\\\\", 0) == 0 && failure == ERROR_BAD_NETPATH) continue;
        error = failure == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : failure;
        return false;
    }
    return true;
}

bool WriteAll(HANDLE file, std::string_view data) {
    while (!data.empty()) {
        const DWORD piece = static_cast<DWORD>(data.size() > 0x10000000u ? 0x10000000u : data.size());
        DWORD written = 0;
        if (!WriteFile(file, data.data(), piece, &written, nullptr) || written == 0) return false;
        data.remove_prefix(written);
    }
    return true;
}

// A temporary file beside the staging file, removed unless the rename took it over.
class TempFile {
public:
    explicit TempFile(std::wstring target) : target_(std::move(target)) {}
    ~TempFile() {
        file_.Reset();
        if (!keep_ && !path_.empty()) DeleteFileW(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // A new file of a name nobody else uses (CREATE_NEW never opens what already stands there).
    bool Create(DWORD& error) {
        for (unsigned attempt = 0; attempt < 100; ++attempt) {
            const std::wstring candidate = target_ + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                                           std::to_wstring(GetTickCount64() + attempt) + L".tmp";
            file_.Reset(CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file_) {
                path_ = candidate;
                return true;
            }
            error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
        }
        return false;
    }
    HANDLE Handle() const { return file_.Get(); }
    bool Close() { return file_.Reset(); }
    const std::wstring& Path() const { return path_; }
    void Keep() { keep_ = true; }

private:
    std::wstring target_;
    std::wstring path_;
    Utils::UniqueHandle file_;
    bool keep_ = false;
};

}  // namespace

StagingFile::StagingFile(std::string path) : path_(std::move(path)) {}

std::string StagingFile::FilePath() const {
    if (path_.empty()) return {};
    if (IsSeparator(path_.back())) return path_ + kStagingFileName;
    if (IsFolder(Utils::FromUtf8(path_))) return path_ + "\\" + kStagingFileName;
    return path_;
}

StagingFile::ReadResult StagingFile::ReadNewestRecords(std::size_t room, std::deque<std::string>& out) const {
    const std::string file = FilePath();
    if (file.empty()) return ReadResult::Missing;
    Utils::UniqueHandle in(CreateFileW(Utils::FromUtf8(file).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return ReadResult::Missing;
        ReportFileError("read", file, error);
        return ReadResult::Failed;
    }
    std::deque<std::string> newest;
    std::string line;
    auto take = [&] {
        if (IsRecordLine(line)) {
            newest.push_back(std::move(line));
            if (newest.size() > room) newest.pop_front();
        }
        line.clear();
    };
    char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.Get(), buffer, sizeof buffer, &got, nullptr)) {
            ReportFileError("read", file, GetLastError());
            return ReadResult::Failed;
        }
        if (got == 0) break;
        for (DWORD i = 0; i < got; ++i) {
            if (buffer[i] == '\n') {
                take();
            } else {
                line.push_back(buffer[i]);
            }
        }
    }
    take();  // a last line without its line break
    for (std::string& record : newest) out.push_back(std::move(record));
    return ReadResult::Read;
}

bool StagingFile::Write(const std::deque<std::string>& records) const {
    const std::string file = FilePath();
    if (file.empty()) return false;
    const std::wstring wideFile = Utils::FromUtf8(file);
    const size_t cut = wideFile.find_last_of(L"/\\");
    if (cut != std::wstring::npos && cut > 0) {
        DWORD error = 0;
        if (!CreateFolders(wideFile.substr(0, cut), error)) {
            ReportFileError("folder creation", file.substr(0, file.find_last_of("/\\")), error);
            return false;
        }
    }

    TempFile temp(wideFile);
    DWORD error = 0;
    if (!temp.Create(error)) {
        ReportFileError("write", file, error);
        return false;
    }
    std::string text;
    for (const std::string& record : records) text.append(record).push_back('\n');
    if (!WriteAll(temp.Handle(), text) || !FlushFileBuffers(temp.Handle())) {
        ReportFileError("write", file, GetLastError());
        return false;
    }
    if (!temp.Close()) {
        ReportFileError("write", file, GetLastError());
        return false;
    }
    if (!MoveFileExW(temp.Path().c_str(), wideFile.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ReportFileError("rename", file, GetLastError());
        return false;
    }
    temp.Keep();
    return true;
}

bool StagingFile::Clear() const {
    const std::string file = FilePath();
    if (file.empty()) return true;
    const DWORD attributes = GetFileAttributesW(Utils::FromUtf8(file).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    return Write({});
}

}  // namespace collect
