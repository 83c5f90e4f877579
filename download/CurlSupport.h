#pragma once
// Owners for libcurl objects and the TLS trust shared by the libcurl downloaders.
#include <curl/curl.h>
#include <memory>
#include <string>

namespace Download {

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlSlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistDeleter>;

// Appends a line; false when libcurl could not allocate (the list is then unchanged).
bool AppendHeader(CurlSlist& list, const char* line);

// The CA bundle the environment names: CURL_CA_BUNDLE, else SSL_CERT_FILE; empty when neither
// is set. Read at every call so that a process may set it before its first download.
std::string CaBundleFromEnvironment();

// Peer and host verification stay on (libcurl's defaults are set explicitly, so no earlier
// option on a reused handle can have turned them off); a CA bundle named by the environment
// replaces the system's. Returns the bitwise OR of the option results.
CURLcode ApplyTlsTrust(CURL* handle);

// Redirects a transfer follows at most. libcurl before 8.3 follows without limit, so a server
// that redirects in a circle would hold the download forever; past the limit the transfer fails
// with CURLE_TOO_MANY_REDIRECTS. Browsers stop at about 20; newer libcurl at 30.
inline constexpr long kMaxRedirects = 30;

// Receive buffer of every transfer: large enough that a fast loopback or LAN transfer is not
// bound by write callbacks.
inline constexpr long kReceiveBufferBytes = 256 * 1024;

// Write callback that accepts and drops a body (header requests, failed attempts).
size_t DiscardBody(char* data, size_t size, size_t count, void* user);

// The URL as libcurl takes it: "file:///" URLs name a local path and go in the system code
// page, all others as UTF-8.
std::string CurlUrl(const std::wstring& url);

// libcurl's text for a code; "Unknown error" for the client's own negative codes.
const char* CurlErrorText(int code);

}  // namespace Download
