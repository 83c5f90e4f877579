#include "download/SmallFetch.h"

#include "download/CurlProxy.h"
#include "download/CurlSupport.h"

namespace Download {
namespace {

struct Sink {
    std::string body;
    std::size_t cap;
    bool overflow = false;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const size_t bytes = size * count;
    if (sink->body.size() + bytes > sink->cap) {
        sink->overflow = true;
        return 0;  // makes libcurl end the transfer with CURLE_WRITE_ERROR
    }
    sink->body.append(data, bytes);
    return bytes;
}

}  // namespace

SmallFetchResult FetchSmall(const std::wstring& url, std::size_t maxBytes) {
    SmallFetchResult result;
    const CurlEasy handle(curl_easy_init());
    if (!handle) {
        result.error = "no libcurl handle";
        return result;
    }
    CURL* h = handle.get();
    Sink sink{{}, maxBytes};
    const std::string address = CurlUrl(url);
    CurlProxy proxy;  // the same road as the package took
    int rc = ApplyTlsTrust(h);
    rc |= proxy.Apply(h, address);
    rc |= curl_easy_setopt(h, CURLOPT_URL, address.c_str());
    rc |= curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
    rc |= curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Collect);
    rc |= curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    rc |= curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 60L);
    // A few bytes never take long: a server that stalls or trickles is given up on.
    rc |= curl_easy_setopt(h, CURLOPT_TIMEOUT, 120L);
    if (rc != CURLE_OK) {
        result.error = "libcurl refused the request options";
        return result;
    }
    const CURLcode performed = curl_easy_perform(h);
    if (sink.overflow) {
        result.error = "larger than " + std::to_string(maxBytes) + " bytes";
        return result;
    }
    const std::string proxyText = proxy.FailureText(h, performed);
    if (!proxyText.empty()) {
        result.error = proxyText;
        return result;
    }
    if (performed != CURLE_OK) {
        result.error = curl_easy_strerror(performed);
        return result;
    }
    long status = 0;
    if (curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) status = 0;
    // file: addresses have no status; an HTTP answer must be a success, not an error page.
    if (status != 0 && (status < 200 || status > 299)) {
        result.error = "HTTP " + std::to_string(status);
        return result;
    }
    result.ok = true;
    result.body = std::move(sink.body);
    return result;
}

}  // namespace Download
