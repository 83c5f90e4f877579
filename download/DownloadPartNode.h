#pragma once
// One byte range of a multi-connection download and the state of its transfer.
//
// Threads: built by the run's worker; afterwards touched only by its own part thread (and the
// progress aggregator's reads of `fetched`), then by the finisher once every part thread ended.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "download/CurlSupport.h"
#include "download/FileOps.h"

struct DownloadPartNode {
    static constexpr int kStatusPending = -1;    // to be fetched
    static constexpr int kStatusComplete = 0;
    static constexpr int kStatusOpenFailed = -2;  // the part file could not be opened

    Utils::FileHandle partFile;  // open for appending while the range is being fetched
    int64_t nextOffset = 0;   // absolute offset of the next byte to fetch
    int64_t lastOffset = -1;  // absolute offset of the range's last byte (inclusive)
    Download::CurlEasy handle;
    std::string url;
    std::string partPath;
    int status = kStatusPending;
    std::atomic<int64_t> fetched{0};  // bytes of this range on disk
    std::thread worker;               // the part's thread, when it has one (joined by the finisher)
    std::atomic<bool> finished{false};  // the part's thread has ended (or it never needed one)

    int64_t Size() const { return lastOffset - firstOffset + 1; }
    int64_t firstOffset = 0;  // absolute offset of the range's first byte

    // The range is the whole resource, so a 200 answer (the whole file) is what it asked for.
    bool wholeResource = false;
    // Raised for the whole download when a server answers a partial range with the whole file.
    std::atomic<bool>* rangeIgnored = nullptr;
    // The part file was emptied mid-run (a resume answered with the whole file): `fetched` went
    // back to 0, so a digest computed while it grew is void.
    std::atomic<bool> restarted{false};

    // Per attempt: what the response said about where its body starts.
    int64_t contentRangeStart = -1;  // from "Content-Range: bytes X-Y/Z"; -1 when absent
    bool bodyChecked = false;        // the first body chunk of this attempt was checked
    bool rangeRejected = false;      // the body did not start at nextOffset
};
