#include "utils/LogFile.h"

#include "utils/Folders.h"
#include "utils/SpecialFolders.h"
#include "utils/StringUtils.h"

namespace Utils {
namespace {

// The path as FileHandle takes it: UTF-8 (Linux: the path's own bytes).
std::string Narrow(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::filesystem::path WithSuffix(const std::filesystem::path& path, int run) {
    if (run == 0) return path;
    std::filesystem::path numbered = path;
    numbered += "." + std::to_string(run);
    return numbered;
}

constexpr char kCapNote[] = "(trace cut: the log reached its size limit)\n";

}  // namespace

std::filesystem::path LogFile::DefaultPath() { return StateHome() / "VarNelSoft" / "Quorvex_Installer.log"; }

LogFile::LogFile(FileHandle file, std::filesystem::path path, int64_t size)
    : file_(std::move(file)), path_(std::move(path)), size_(size) {}

std::unique_ptr<LogFile> LogFile::Open(const std::filesystem::path& path, FileError* error) {
    FileError opened;
    FileHandle file = FileHandle::OpenAppend(Narrow(path), FileHandle::kModePrivate, &opened);
    if (!file.IsOpen() || !MakePrivate(file)) {
        if (error) *error = opened.Ok() ? FileError{-1} : opened;
        return nullptr;
    }
    const int64_t size = file.Size();
    return std::unique_ptr<LogFile>(new LogFile(std::move(file), path, size < 0 ? 0 : size));
}

void LogFile::Rotate(const std::filesystem::path& path) {
    for (int run = kKeptRuns - 1; run > 0; --run) {
        const std::string from = Narrow(WithSuffix(path, run - 1));
        if (!PathExists(from)) continue;
        if (!RenameFile(from, Narrow(WithSuffix(path, run))).Ok()) return;
    }
}

std::unique_ptr<LogFile> LogFile::OpenRotated(const std::filesystem::path& path, FileError* error) {
    if (!CreateFolders(path.parent_path(), 0700)) {
        if (error) *error = FileError{-1};
        return nullptr;
    }
    Rotate(path);
    return Open(path, error);
}

std::unique_ptr<LogFile> LogFile::OpenAppending(const std::filesystem::path& path, FileError* error) {
    return Open(path, error);
}

void LogFile::WriteLine(std::wstring_view line) {
    std::string text = ToUtf8(line);
    text += '\n';
    const int64_t bytes = static_cast<int64_t>(text.size());
    const int64_t before = size_.fetch_add(bytes);
    if (before + bytes <= kMaxBytes) {
        (void)file_.WriteAll(text.data(), text.size());
    } else if (before <= kMaxBytes) {
        // The one line that crosses the cap leaves a note in its place.
        (void)file_.WriteAll(kCapNote, sizeof kCapNote - 1);
    }
}

}  // namespace Utils
