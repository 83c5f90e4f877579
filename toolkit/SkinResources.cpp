#include "toolkit/SkinResources.h"

#include <zip.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "utils/StringUtils.h"

namespace Toolkit {

SkinResources& SkinResources::Instance() {
    static SkinResources instance;
    return instance;
}

SkinResources::~SkinResources() { Close(); }

std::string SkinResources::NormalizeName(std::wstring_view name) {
    std::string utf8 = Utils::AsciiLower(Utils::ToUtf8(name));
    std::vector<std::string> parts;
    std::string part;
    auto flush = [&]() -> bool {
        if (part.empty() || part == ".") {
        } else if (part == "..") {
            if (parts.empty()) return false;
            parts.pop_back();
        } else {
            parts.push_back(part);
        }
        part.clear();
        return true;
    };
    for (char c : utf8) {
        if (c == '/' || c == '\\') {
            if (!flush()) return {};
        } else {
            part += c;
        }
    }
    if (!flush()) return {};
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '/';
        out += parts[i];
    }
    return out;
}

bool SkinResources::OpenZip(const void* data, std::size_t size, std::string* error) {
    std::lock_guard lock(mutex_);
    CloseLocked();
    return OpenZipLocked(data, size, error);
}

bool SkinResources::OpenZipCopy(std::vector<std::uint8_t> bytes, std::string* error) {
    std::lock_guard lock(mutex_);
    CloseLocked();
    ownedBytes_ = std::move(bytes);
    if (!OpenZipLocked(ownedBytes_.data(), ownedBytes_.size(), error)) {
        ownedBytes_.clear();
        return false;
    }
    return true;
}

bool SkinResources::OpenZipLocked(const void* data, std::size_t size, std::string* error) {
    if (!data || size == 0) {
        if (error) *error = "empty archive";
        return false;
    }
    zip_error_t zerr;
    zip_error_init(&zerr);
    zip_source_t* source = zip_source_buffer_create(data, size, 0, &zerr);
    if (!source) {
        if (error) *error = zip_error_strerror(&zerr);
        zip_error_fini(&zerr);
        return false;
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &zerr);
    if (!archive) {
        if (error) *error = zip_error_strerror(&zerr);
        zip_source_free(source);
        zip_error_fini(&zerr);
        return false;
    }
    zip_error_fini(&zerr);
    archive_ = archive;
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* stored = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (!stored) continue;
        storedNames_.emplace_back(stored);
        const std::string key = NormalizeName(Utils::FromUtf8(stored));
        if (!key.empty() && stored[std::char_traits<char>::length(stored) - 1] != '/')
            zipIndex_.emplace(key, i);  // the first of two entries differing only in case wins
    }
    return true;
}

bool SkinResources::OpenFolder(const std::string& folder, std::string* error) {
    namespace fs = std::filesystem;
    std::lock_guard lock(mutex_);
    CloseLocked();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        if (error) *error = "not a folder: " + folder;
        return false;
    }
    folder_ = folder;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::string rel = fs::relative(it->path(), folder, ec).generic_string();
        storedNames_.push_back(rel);
        folderIndex_.emplace(NormalizeName(Utils::FromUtf8(rel)), it->path().string());
    }
    return true;
}

void SkinResources::Close() {
    std::lock_guard lock(mutex_);
    CloseLocked();
}

void SkinResources::CloseLocked() {
    if (archive_) zip_discard(archive_);
    archive_ = nullptr;
    ownedBytes_.clear();
    folder_.clear();
    zipIndex_.clear();
    folderIndex_.clear();
    storedNames_.clear();
}

bool SkinResources::IsOpen() const {
    std::lock_guard lock(mutex_);
    return archive_ != nullptr || !folder_.empty();
}

bool SkinResources::Exists(std::wstring_view name) const {
    const std::string key = NormalizeName(name);
    std::lock_guard lock(mutex_);
    return zipIndex_.count(key) || folderIndex_.count(key);
}

bool SkinResources::Read(std::wstring_view name, std::string& bytes) const {
    bytes.clear();
    const std::string key = NormalizeName(name);
    if (key.empty()) return false;
    std::lock_guard lock(mutex_);
    if (archive_) {
        auto it = zipIndex_.find(key);
        if (it == zipIndex_.end()) return false;
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive_, static_cast<zip_uint64_t>(it->second), 0, &st) != 0 ||
            !(st.valid & ZIP_STAT_SIZE))
            return false;
        if (st.size > (256u << 20)) return false;  // a skin entry is never that large
        std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(
            zip_fopen_index(archive_, static_cast<zip_uint64_t>(it->second), 0), zip_fclose);
        if (!file) return false;
        bytes.resize(st.size);
        zip_uint64_t done = 0;
        while (done < st.size) {
            const zip_int64_t n = zip_fread(file.get(), bytes.data() + done, st.size - done);
            if (n <= 0) {
                bytes.clear();
                return false;
            }
            done += static_cast<zip_uint64_t>(n);
        }
        return true;
    }
    auto it = folderIndex_.find(key);
    if (it == folderIndex_.end()) return false;
    std::ifstream in(it->second, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    bytes = ss.str();
    return true;
}

std::vector<std::string> SkinResources::EntryNames() const {
    std::lock_guard lock(mutex_);
    return storedNames_;
}

}  // namespace Toolkit
