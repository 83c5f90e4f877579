#pragma once
// Where layouts and images come from: a zip archive held in memory (the skin package linked
// into the executable) or, for development tools, a folder with the same tree.
//
// Names are matched without regard to letter case, and "\" and "/" address the same entry:
// layouts and code write "res\mainWnd\bg.png" while the archive holds "res/mainWnd/bg.png".
// "." and ".." segments are resolved, so "lang\en-US\..\Default\texts.xml" works too.
//
// Thread: any thread may read; the set is opened once at start-up before readers exist.
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct zip;
struct zip_source;

namespace Toolkit {

class SkinResources {
public:
    static SkinResources& Instance();

    SkinResources() = default;
    ~SkinResources();
    SkinResources(const SkinResources&) = delete;
    SkinResources& operator=(const SkinResources&) = delete;

    // Opens an in-memory zip. The bytes are borrowed and must outlive this object (the linked
    // skin package lives as long as the process). Replaces whatever was open. On failure the
    // set is empty and `error` says why.
    bool OpenZip(const void* data, std::size_t size, std::string* error = nullptr);
    // Same, keeping its own copy of the bytes (tests, tools reading a zip file).
    bool OpenZipCopy(std::vector<std::uint8_t> bytes, std::string* error = nullptr);
    // Opens a folder tree (skin-preview reads skin sources this way).
    bool OpenFolder(const std::string& folder, std::string* error = nullptr);
    void Close();
    bool IsOpen() const;

    // Reads one entry; false when the name is not there or cannot be read.
    bool Read(std::wstring_view name, std::string& bytes) const;
    bool Exists(std::wstring_view name) const;
    // Every entry name as stored (for listing in tools and tests).
    std::vector<std::string> EntryNames() const;

    // The lookup key of a name: UTF-8, lower case, "/" separators, dot segments resolved,
    // no leading "/". Empty when the name leaves the root through "..".
    static std::string NormalizeName(std::wstring_view name);

private:
    bool OpenZipLocked(const void* data, std::size_t size, std::string* error);
    void CloseLocked();

    mutable std::mutex mutex_;
    zip* archive_ = nullptr;
    std::vector<std::uint8_t> ownedBytes_;
    std::string folder_;
    std::map<std::string, std::int64_t> zipIndex_;        // key -> entry index
    std::map<std::string, std::string> folderIndex_;      // key -> file path on disk
    std::vector<std::string> storedNames_;
};

}  // namespace Toolkit
