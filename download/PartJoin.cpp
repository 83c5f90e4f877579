#include "download/PartJoin.h"

#include "download/FileOps.h"

PartJoin::PartJoin(const std::vector<std::unique_ptr<DownloadPartNode>>& parts, Download::StopSignal& stop)
    : parts_(parts), stop_(stop) {}

int PartJoin::CopyWhileArriving() {
    if (parts_.size() != 2) return 0;
    DownloadPartNode& head = *parts_[0];
    DownloadPartNode& tail = *parts_[1];
    if (head.worker.joinable()) head.worker.join();
    if (head.status != DownloadPartNode::kStatusComplete || tail.finished.load(std::memory_order_acquire))
        return 0;  // nothing to overlap: Finish does it all
    first_ = Utils::FileHandle::OpenWrite(head.partPath);
    if (!first_.IsOpen()) return kOpenFailed;
    if (first_.Size() != head.Size()) return kFailed;
    const Utils::FileHandle second = Utils::FileHandle::OpenRead(tail.partPath);
    if (!second.IsOpen()) return kOpenFailed;
    while (!tail.finished.load(std::memory_order_acquire) && !stop_.IsRaised()) {
        const int64_t available = tail.fetched.load(std::memory_order_acquire);
        if (available - copied_ < (1 << 20)) {
            stop_.WaitFor(5);  // a mebibyte at a time
            continue;
        }
        if (!Download::CopyFileData(first_, head.Size() + copied_, second, copied_, available - copied_))
            return kFailed;
        copied_ = available;
    }
    return 0;
}

int PartJoin::Finish(const std::string& target) {
    if (!first_.IsOpen()) {
        first_ = Utils::FileHandle::OpenWrite(parts_[0]->partPath);
        if (!first_.IsOpen()) return kOpenFailed;
        if (first_.Size() != parts_[0]->Size()) return kFailed;
        copied_ = 0;
    }
    int64_t size = parts_[0]->Size();
    for (size_t i = 1; i < parts_.size(); ++i) {
        const Utils::FileHandle next = Utils::FileHandle::OpenRead(parts_[i]->partPath);
        const int64_t rangeSize = parts_[i]->Size();
        if (!next.IsOpen() || next.Size() != rangeSize) return kOpenFailed;
        if (!Download::CopyFileData(first_, size + copied_, next, copied_, rangeSize - copied_)) return kFailed;
        size += rangeSize;
        copied_ = 0;
    }
    if (!first_.Truncate(size) || first_.Size() != size) return kFailed;
    // The name must still be the file that was joined before it becomes the target.
    if (!Utils::SameFile(first_, parts_[0]->partPath)) return kFailed;
    if (!first_.Close()) return kFailed;
    if (!Utils::RenameFile(parts_[0]->partPath, target)) return kFailed;
    return 0;
}

void PartJoin::Abandon() {
    if (first_.IsOpen() && !first_.Truncate(parts_[0]->Size())) Utils::RemoveFile(parts_[0]->partPath);
    first_.Close();
}
