#pragma once
// The proxy of one libcurl transfer, chosen for its URL (ProxyForUrl) and set on its handle.
//
// libcurl is always told the proxy explicitly, "" for a direct connection, so its own reading
// of the environment can never disagree with the choice. Credentials come from the proxy URL's
// user:password (percent-decoded) and are offered with whatever scheme the proxy asks for;
// HTTPS goes through a CONNECT tunnel (libcurl's way for an http proxy). Trace lines name the
// proxy by host and port only, never with its password.
#include <curl/curl.h>
#include <string>

#include "download/ProxyAddress.h"

namespace Download {

class CurlProxy {
public:
    // Chooses the proxy for `url` and sets it on `handle`; the bitwise OR of the option results.
    CURLcode Apply(CURL* handle, const std::string& url);

    const ProxyAddress& Address() const { return address_; }

    // When the proxy caused the failure of the transfer that `handle` ran (ending with `code`),
    // the text that says so: "proxy 127.0.0.1:3128 refused the request (407 Proxy
    // Authentication Required)", "proxy 127.0.0.1:3128 refused the tunnel to the server (CONNECT
    // answered 502)" or "proxy 127.0.0.1:3128 could not be reached (...)". Empty
    // when the transfer went direct or failed for another reason. A 407 counts even when
    // libcurl reported success (a header request does not fail on an HTTP status).
    std::string FailureText(CURL* handle, int code) const;

    // True when the last response on `handle` is the proxy's 407.
    static bool ProxyRefused(CURL* handle);

private:
    ProxyAddress address_;
};

}  // namespace Download
