#include "download/CurlProxy.h"

#include <string>

#include "download/ProxyResolver.h"

namespace Download {

CURLcode CurlProxy::Apply(CURL* handle, const std::string& url) {
    address_ = ProxyAddress::Parse(ProxyForUrl(url));
    int rc = curl_easy_setopt(handle, CURLOPT_PROXY, address_.Url().c_str());
    // no_proxy was applied when the proxy was chosen; libcurl must not apply its own reading.
    rc |= curl_easy_setopt(handle, CURLOPT_NOPROXY, "");
    if (address_.HasCredentials()) {
        rc |= curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, address_.User().c_str());
        rc |= curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, address_.Password().c_str());
        rc |= curl_easy_setopt(handle, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
    }
    return static_cast<CURLcode>(rc);
}

bool CurlProxy::ProxyRefused(CURL* handle) {
    long connectCode = 0;
    long responseCode = 0;
    if (curl_easy_getinfo(handle, CURLINFO_HTTP_CONNECTCODE, &connectCode) == CURLE_OK && connectCode == 407)
        return true;
    return curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &responseCode) == CURLE_OK && responseCode == 407;
}

std::string CurlProxy::FailureText(CURL* handle, int code) const {
    if (address_.IsDirect()) return {};
    const std::string name = "proxy " + address_.Display();
    if (handle && ProxyRefused(handle)) {
        return name + (address_.HasCredentials() ? " refused the credentials (407 Proxy Authentication Required)"
                                                 : " refused the request (407 Proxy Authentication Required)");
    }
    long connectCode = 0;
    if (handle && curl_easy_getinfo(handle, CURLINFO_HTTP_CONNECTCODE, &connectCode) == CURLE_OK &&
        connectCode != 0 && (connectCode < 200 || connectCode > 299))
        return name + " refused the tunnel to the server (CONNECT answered " + std::to_string(connectCode) + ")";
    switch (code) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_PROXY:
        return name + " could not be reached (" + curl_easy_strerror(static_cast<CURLcode>(code)) + ")";
    default:
        return {};
    }
}

}  // namespace Download
