#include "download/UrlDigest.h"

#include <algorithm>
#include <memory>

#include "download/Md5Hash.h"

namespace Download {

std::string DigestFromUrl(const std::string& url) {
    const size_t last = url.rfind('/');
    if (last == std::string::npos || last == 0) return {};
    const size_t previous = url.rfind('/', last - 1);
    if (previous == std::string::npos) return {};
    return url.substr(previous + 1, last - previous - 1);
}

std::string NormalizeSha256(const std::string& text) {
    if (text.size() != 64) return {};
    std::string digest;
    digest.reserve(64);
    for (const char c : text) {
        if (c >= '0' && c <= '9') digest += c;
        else if (c >= 'a' && c <= 'f') digest += c;
        else if (c >= 'A' && c <= 'F') digest += static_cast<char>(c - 'A' + 'a');
        else return {};
    }
    return digest;
}

std::string Sha256FromUrl(const std::string& url) { return NormalizeSha256(DigestFromUrl(url)); }

DigestCheck CheckFileDigest(const std::string& url, const std::string& path) {
    const std::string expected = DigestFromUrl(url);
    if (expected.size() != 32) return DigestCheck::NotNamed;
    return FileMd5Hex(path) == expected ? DigestCheck::Match : DigestCheck::Mismatch;
}

WrittenDigest::WrittenDigest() = default;
WrittenDigest::~WrittenDigest() = default;

void WrittenDigest::Reset() {
    hash_ = std::make_unique<Md5Hash>();
    hashed_ = 0;
    trusted_ = hash_->Ok();
}

void WrittenDigest::Prime(const Utils::FileHandle& file, int64_t size) {
    Reset();
    if (!trusted_ || size <= 0) return;
    constexpr std::size_t kChunk = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    while (hashed_ < size) {
        const std::size_t want = static_cast<std::size_t>(std::min<int64_t>(size - hashed_, kChunk));
        const int64_t got = file.ReadAt(buffer.get(), want, hashed_);
        if (got <= 0 || !hash_->Update(buffer.get(), static_cast<std::size_t>(got))) {
            trusted_ = false;
            return;
        }
        hashed_ += got;
    }
}

void WrittenDigest::Add(int64_t offset, const void* data, std::size_t size) {
    if (!trusted_) return;
    if (offset != hashed_ || !hash_->Update(data, size)) {
        trusted_ = false;
        return;
    }
    hashed_ += static_cast<int64_t>(size);
}

std::string WrittenDigest::TakeHex(int64_t length) {
    const bool usable = trusted_ && hashed_ == length;
    trusted_ = false;
    return usable ? hash_->FinishHex() : std::string();
}

DigestCheck CheckWrittenDigest(const std::string& url, const std::string& path, WrittenDigest& written) {
    const std::string expected = DigestFromUrl(url);
    if (expected.size() != 32) {
        written.Invalidate();
        return DigestCheck::NotNamed;
    }
    const int64_t size = Utils::FileSize(path);
    std::string actual = size >= 0 ? written.TakeHex(size) : std::string();
    if (actual.empty()) actual = FileMd5Hex(path);
    return actual == expected ? DigestCheck::Match : DigestCheck::Mismatch;
}

}  // namespace Download
