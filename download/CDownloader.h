#pragma once
// The one interface behind which the three downloaders fetch the package. The owner builds a
// downloader with (callback, URL, target path), calls Start() and learns everything else through
// the callback (see DownloadCallback.h).
//
// Threads: the owner's thread builds, starts and destroys a downloader (a restart may also come
// from inside its own retry event, 1005); events arrive on the downloader's worker threads, so
// the owner posts them on to its own thread. Destruction waits for every worker.
#include "download/DownloadCallback.h"

class CDownloader {
public:
    virtual ~CDownloader() = default;

    // Starts (or starts again) the download in the background and returns at once.
    virtual void Start() = 0;

protected:
    CDownloader() = default;
    CDownloader(const CDownloader&) = delete;
    CDownloader& operator=(const CDownloader&) = delete;
};
