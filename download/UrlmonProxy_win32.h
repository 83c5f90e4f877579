#pragma once
// The proxy of one urlmon download: the same choice as the libcurl downloads make for the URL
// (ProxyForUrl), handed to urlmon, which would otherwise follow the system Internet settings
// alone and ignore the environment's proxy and its no_proxy exceptions.
//
// urlmon takes its proxy for the whole process, not per download. So downloads take turns by
// choice: a download whose URL needs another proxy than the one set waits until the downloads
// using that one are over; downloads with the same choice run side by side.
//
// Credentials come from the proxy URL and answer only the proxy's 407, never a server's 401
// (the proxy's password must not reach a server). Trace lines name the proxy by host and port,
// never with its password.
//
// Threads: any; the turns are shared by every download of the process.
#include <string>

#include "download/ProxyAddress.h"

#include "utils/WindowsApi_win32.h"

namespace Download::win {

class UrlmonProxy {
public:
    // Waits for this URL's turn, then sets its proxy for the process (unless it is set already).
    explicit UrlmonProxy(const std::wstring& url);
    ~UrlmonProxy();
    UrlmonProxy(const UrlmonProxy&) = delete;
    UrlmonProxy& operator=(const UrlmonProxy&) = delete;

    const ProxyAddress& Address() const { return address_; }

    // The answer to urlmon's request for credentials, given the status of the response that
    // asked: the proxy URL's user and password (CoTaskMemAlloc'd, urlmon frees them) for the
    // first 407; E_ACCESSDENIED otherwise, which ends the request with that status.
    ::HRESULT Credentials(unsigned status, LPWSTR* user, LPWSTR* password);

    // Traces a failure the proxy caused: its 407, or no HTTP answer at all while going through
    // it. `status` is the last HTTP status of the download (0 when none came).
    void LogFailure(unsigned status, ::HRESULT result) const;

private:
    ProxyAddress address_;
    std::string setting_;
    bool credentialsGiven_ = false;
};

}  // namespace Download::win
