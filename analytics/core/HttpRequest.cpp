#include "analytics/core/HttpRequest.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "analytics/core/Diagnostics.h"
#include "download/CurlProxy.h"

namespace collect {
namespace {

struct CurlHandleDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, CurlHandleDeleter>;

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* response = static_cast<HttpResponse*>(user);
    const std::size_t n = size * count;
    const std::size_t room = HttpRequest::kMaxResponseBody - std::min(response->body.size(), HttpRequest::kMaxResponseBody);
    response->body.append(data, std::min(n, room));
    return n;  // the rest is read and discarded, so the exchange still completes
}

std::string_view TrimBlanks(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::size_t ReadHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* response = static_cast<HttpResponse*>(user);
    const std::size_t n = size * count;
    const std::string_view line = TrimBlanks(std::string_view(data, n));
    if (line.empty()) return n;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        response->headers[std::string(line)] = "present";
    } else {
        response->headers[std::string(TrimBlanks(line.substr(0, colon)))] =
            std::string(TrimBlanks(line.substr(colon + 1)));
    }
    return n;
}

const char* CaBundleFromEnvironment() {
    for (const char* name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return nullptr;
}

HttpResponse Failure(std::string text) {
    HttpResponse response;
    response.code = -1;
    response.body = std::move(text);
    return response;
}

}  // namespace

HttpRequest::HttpRequest(std::string url, std::string body) : url_(std::move(url)), body_(std::move(body)) {}

HttpResponse HttpRequest::Perform() const {
    CurlHandle curl(curl_easy_init());
    if (!curl) {
        detail::ReportError("Couldn't initialize curl handle\n");
        return Failure("Couldn't initialize curl handle");
    }

    HttpResponse response;
    char errorText[CURL_ERROR_SIZE] = {};
    CURLcode rc = CURLE_OK;
    const auto set = [&](CURLoption option, auto value) {
        if (rc == CURLE_OK) rc = curl_easy_setopt(curl.get(), option, value);
    };
    set(CURLOPT_POST, 1L);
    set(CURLOPT_POSTFIELDS, body_.c_str());
    set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
    // The records identify the user's machine: verify the collector like any other TLS peer.
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    if (const char* bundle = CaBundleFromEnvironment()) set(CURLOPT_CAINFO, bundle);
    set(CURLOPT_URL, url_.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    set(CURLOPT_PROTOCOLS_STR, "http,https");
#else
    set(CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_WRITEFUNCTION, &WriteBody);
    set(CURLOPT_WRITEDATA, static_cast<void*>(&response));
    set(CURLOPT_HEADERFUNCTION, &ReadHeader);
    set(CURLOPT_HEADERDATA, static_cast<void*>(&response));
    set(CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
    set(CURLOPT_USERAGENT, kUserAgent);
    set(CURLOPT_TIMEOUT, kTimeoutSeconds);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_ERRORBUFFER, errorText);
    // The collector is reached the way the package is: through the proxy the user has set.
    Download::CurlProxy proxy;
    if (rc == CURLE_OK) rc = proxy.Apply(curl.get(), url_);
    if (rc != CURLE_OK) return Failure(std::string("curl_easy_setopt failed: ") + curl_easy_strerror(rc));

    rc = curl_easy_perform(curl.get());
    if (const std::string text = proxy.FailureText(curl.get(), rc); !text.empty())
        detail::ReportError(text + "\n");
    if (rc != CURLE_OK) {
        const std::string proxyText = proxy.FailureText(curl.get(), rc);
        std::string text = !proxyText.empty() ? proxyText : errorText[0] ? errorText : curl_easy_strerror(rc);
        response.headers.clear();
        response.code = -1;
        response.body = std::move(text);
        return response;
    }
    long status = -1;
    if (curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) status = -1;
    response.code = status;
    return response;
}

}  // namespace collect
