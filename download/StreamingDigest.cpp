#include "download/StreamingDigest.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <openssl/evp.h>

namespace Download {
namespace {

struct MdCtxDeleter {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

constexpr size_t kChunk = 1 << 20;

}  // namespace

StreamingDigest::StreamingDigest(std::vector<Source> sources) : sources_(std::move(sources)) {
    for (const Source& s : sources_) files_.push_back(Utils::FileHandle::OpenRead(s.path));
    thread_ = std::thread([this] { Run(); });
}

StreamingDigest::~StreamingDigest() {
    Cancel();
    if (thread_.joinable()) thread_.join();
}

std::string StreamingDigest::Finish() {
    if (thread_.joinable()) thread_.join();
    return cancelled_.load() ? std::string() : result_;
}

void StreamingDigest::Run() {
    std::unique_ptr<EVP_MD_CTX, MdCtxDeleter> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1) return;
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (size_t i = 0; i < sources_.size(); ++i) {
        const Source& source = sources_[i];
        if (!files_[i].IsOpen()) return;
        int64_t pos = 0;
        while (pos < source.length) {
            if (cancelled_.load()) return;
            const int64_t ready = std::min(source.available->load(std::memory_order_acquire), source.length);
            if (ready <= pos) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            const size_t want = static_cast<size_t>(std::min<int64_t>(ready - pos, kChunk));
            const int64_t got = files_[i].ReadAt(buffer.get(), want, pos);
            if (got <= 0) return;  // the file shrank or cannot be read: no digest
            if (EVP_DigestUpdate(ctx.get(), buffer.get(), static_cast<size_t>(got)) != 1) return;
            pos += got;
        }
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest, &size) != 1) return;
    std::string hex;
    char two[3];
    for (unsigned int i = 0; i < size; ++i) {
        std::snprintf(two, sizeof two, "%02x", digest[i]);
        hex += two;
    }
    result_ = hex;
}

}  // namespace Download
