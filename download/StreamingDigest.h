#pragma once
// The digest (MD5 unless another algorithm is chosen) of a file that is still being written in
// pieces: a thread reads each source file from its start as its bytes become available (a counter
// the writer advances after each write) and hashes the sources in order, so the digest is ready
// moments after the last byte lands instead of after a second pass over the whole file.
//
// Threads: constructed, cancelled, finished and destroyed by one owner thread; the counters may
// be advanced by any thread. The counters must outlive the object.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "download/FileOps.h"
#include "download/Hash.h"

namespace Download {

class StreamingDigest {
public:
    struct Source {
        std::string path;                       // opened at construction
        int64_t length;                         // bytes of this source that belong to the digest
        const std::atomic<int64_t>* available;  // bytes written so far (acquire-read)
    };

    explicit StreamingDigest(std::vector<Source> sources, HashAlgorithm algorithm = HashAlgorithm::Md5);
    ~StreamingDigest();
    StreamingDigest(const StreamingDigest&) = delete;
    StreamingDigest& operator=(const StreamingDigest&) = delete;

    // Stops the thread at its next read; Finish() then returns "".
    void Cancel() { cancelled_.store(true); }
    // Waits for the thread: the digest in lower-case hexadecimal digits (32 for MD5, 64 for
    // SHA-256), or "" when cancelled or a source could not be read.
    std::string Finish();

private:
    void Run();

    std::vector<Source> sources_;
    HashAlgorithm algorithm_;
    std::vector<Utils::FileHandle> files_;
    std::atomic<bool> cancelled_{false};
    std::string result_;  // written by the thread, read after join
    std::thread thread_;
};

}  // namespace Download
