#include "download/StreamingDigest.h"

#include <algorithm>
#include <chrono>
#include <memory>


namespace Download {
namespace {

constexpr size_t kChunk = 1 << 20;

}  // namespace

StreamingDigest::StreamingDigest(std::vector<Source> sources, HashAlgorithm algorithm)
    : sources_(std::move(sources)), algorithm_(algorithm) {
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
    Hash hash(algorithm_);
    if (!hash.Ok()) return;
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
            if (!hash.Update(buffer.get(), static_cast<size_t>(got))) return;
            pos += got;
        }
    }
    result_ = hash.FinishHex();
}

}  // namespace Download
