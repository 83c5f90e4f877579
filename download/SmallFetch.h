#pragma once
// A bounded fetch of a small resource (a package's detached signature) into memory, with the
// TLS trust and redirect limit of the package downloads. An answer larger than the cap is cut
// off unread, so a wrong address that serves a large file or page costs nothing.
//
// Threads: any thread; libcurl must have been initialised.
#include <cstddef>
#include <string>

namespace Download {

struct SmallFetchResult {
    bool ok = false;     // a complete 2xx answer (or a readable file: address) within the cap
    std::string body;    // the answer's bytes when ok
    std::string error;   // why not: "HTTP 404", "larger than 4096 bytes", libcurl's text
};

SmallFetchResult FetchSmall(const std::wstring& url, std::size_t maxBytes);

}  // namespace Download
