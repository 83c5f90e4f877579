#pragma once
// One form POST to the collection endpoint through libcurl: one easy handle per request,
// released when the exchange ends. TLS peer and host verification stay on; a CA bundle named by
// CURL_CA_BUNDLE (else SSL_CERT_FILE) replaces the system store, as for package downloads.
// Redirects are not followed and only http and https are allowed. The request goes through the
// proxy the user has set (Download::ProxyForUrl); a failure the proxy caused is reported on the
// error stream with a line naming the proxy, and that text is the failed response's body.
//
// Runs on the calling thread and blocks it for at most the time-out. Safe to use from any thread
// once curl_global_init has run (the program's start-up does that).
#include <map>
#include <string>

namespace collect {

struct HttpResponse {
    long code = -1;     // HTTP status, or -1 when no response was had
    std::string body;   // the response body (first 64 KiB), or libcurl's error text
    std::map<std::string, std::string> headers;  // name -> value, blanks trimmed
};

class HttpRequest {
public:
    static constexpr long kTimeoutSeconds = 3;  // the whole exchange, connection included
    static constexpr char kUserAgent[] = "EventCollect CPP SDK 0.7";
    static constexpr std::size_t kMaxResponseBody = 64 * 1024;

    HttpRequest(std::string url, std::string body);

    // Posts the body as "application/x-www-form-urlencoded" (libcurl's default for a form body)
    // with no header lines of its own. Never throws.
    HttpResponse Perform() const;

private:
    std::string url_;
    std::string body_;
};

}  // namespace collect
