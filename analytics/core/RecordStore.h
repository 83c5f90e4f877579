#pragma once
// The record store: a bounded in-memory queue of serialised records, sent in batches of up to 30
// when its owner flushes, and kept in the staging file across runs. It has no thread and no timer.
//
// Threads: Add may be called from any thread at any time and never waits for the network.
// FlushBatch/FlushAll may run on any thread; the flush lock lets one batch travel at a time, in
// queue order. Lock order: flush lock, then records lock (recursive).
//
// A record lives in the queue or in the staging file until a batch holding it is answered with
// HTTP 200, or until the capacity pushes it out (oldest first).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "analytics/core/RecordSender.h"
#include "analytics/core/StagingFile.h"

namespace collect {

class RecordStore {
public:
    static constexpr std::uint32_t kCapacity = 1024;
    static constexpr std::size_t kBatchSize = 30;
    // The file's name when the staging path names a folder.
    static constexpr const char* kStagingFileName = StagingFile::kStagingFileName;

    // Nothing is read or written here: the staging file is loaded at the first flush or shutdown.
    RecordStore(std::string serverUrl, std::string stagingFilePath);
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Queues one record at the back; over the capacity the oldest record is dropped.
    void Add(std::string record);

    // Sends at most one batch (the oldest records). True when nothing was queued or the batch was
    // answered with 200. On failure the batch goes back to the front as room allows (its newest
    // records first) and false is returned. False without sending after Shutdown.
    bool FlushBatch();

    // Sends batches until the queue is empty; false at the first batch that fails.
    bool FlushAll();

    // Loads the staging file into the front of the queue, once; then empties the file.
    void LoadStaging();

    // Replaces the staging file's content with the whole queue, oldest first.
    void SaveStaging();

    // Waits for a batch in flight, keeps what is queued (including an unloaded staging file) in
    // the staging file and releases the sender. Later flushes send nothing and return false.
    void Shutdown();

    std::size_t Size() const;
    std::vector<std::string> Snapshot() const;  // the queue, oldest first
    std::string StagingFilePath() const { return staging_.FilePath(); }

private:
    std::mutex flushLock_;
    mutable std::recursive_mutex recordsLock_;
    std::deque<std::string> queue_;        // guarded by recordsLock_
    bool loadPending_ = true;              // guarded by recordsLock_
    StagingFile staging_;                  // used under recordsLock_
    std::unique_ptr<RecordSender> sender_; // released under both locks
};

}  // namespace collect
