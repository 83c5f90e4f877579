#pragma once
// The one interface behind which the three downloaders fetch the package. The owner builds a
// downloader with (callback, URL, target path), calls Start() and learns everything else through
// the callback (see DownloadCallback.h).
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
