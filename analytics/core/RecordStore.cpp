#include "analytics/core/RecordStore.h"

#include <algorithm>

namespace collect {

RecordStore::RecordStore(std::string serverUrl, std::string stagingFilePath)
    : staging_(std::move(stagingFilePath)), sender_(std::make_unique<RecordSender>(std::move(serverUrl))) {}

RecordStore::~RecordStore() = default;

void RecordStore::Add(std::string record) {
    std::lock_guard records(recordsLock_);
    queue_.push_back(std::move(record));
    if (queue_.size() > kCapacity) queue_.pop_front();
}

void RecordStore::LoadStaging() {
    std::lock_guard records(recordsLock_);
    if (!loadPending_) return;
    loadPending_ = false;
    const std::size_t room = kCapacity - std::min<std::size_t>(queue_.size(), kCapacity);
    std::deque<std::string> loaded;
    if (room > 0 && staging_.ReadNewestRecords(room, loaded) == StagingFile::ReadResult::Failed)
        return;  // an unreadable file is left as it is rather than wiped
    queue_.insert(queue_.begin(), std::make_move_iterator(loaded.begin()), std::make_move_iterator(loaded.end()));
    staging_.Clear();
}

void RecordStore::SaveStaging() {
    std::lock_guard records(recordsLock_);
    // With nothing queued and no file yet there is nothing to keep: no empty file is created.
    if (queue_.empty()) {
        staging_.Clear();
        return;
    }
    staging_.Write(queue_);
}

bool RecordStore::FlushBatch() {
    LoadStaging();
    std::lock_guard flush(flushLock_);
    std::vector<std::string> batch;
    {
        std::lock_guard records(recordsLock_);
        if (queue_.empty()) return true;
        if (!sender_) return false;
        const std::size_t n = std::min(queue_.size(), kBatchSize);
        batch.assign(std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.begin() + n));
        queue_.erase(queue_.begin(), queue_.begin() + n);
    }

    std::size_t length = 2;
    for (const std::string& record : batch) length += record.size() + 1;
    std::string text;
    text.reserve(length);
    text.push_back('[');
    for (std::size_t i = 0; i < batch.size(); ++i) {
        if (i) text.push_back(',');
        text.append(batch[i]);
    }
    text.push_back(']');

    // The sender is only released under the flush lock, which this thread holds.
    const bool sent = sender_->Send(text);
    if (!sent) {
        std::lock_guard records(recordsLock_);
        const std::size_t room = kCapacity - std::min<std::size_t>(queue_.size(), kCapacity);
        const std::size_t keep = std::min(batch.size(), room);
        queue_.insert(queue_.begin(), std::make_move_iterator(batch.end() - keep), std::make_move_iterator(batch.end()));
    }
    return sent;
}

bool RecordStore::FlushAll() {
    LoadStaging();
    while (Size() > 0)
        if (!FlushBatch()) return false;
    return true;
}

void RecordStore::Shutdown() {
    std::lock_guard flush(flushLock_);
    std::lock_guard records(recordsLock_);
    LoadStaging();
    SaveStaging();
    sender_.reset();
}

std::size_t RecordStore::Size() const {
    std::lock_guard records(recordsLock_);
    return queue_.size();
}

std::vector<std::string> RecordStore::Snapshot() const {
    std::lock_guard records(recordsLock_);
    return {queue_.begin(), queue_.end()};
}

}  // namespace collect
