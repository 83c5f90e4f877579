#include "download/CurlSupport.h"

#include "download/FileOps.h"
#include "utils/StringUtils.h"

#include <cstdlib>

namespace Download {

bool AppendHeader(CurlSlist& list, const char* line) {
    curl_slist* grown = curl_slist_append(list.get(), line);
    if (!grown) return false;
    list.release();
    list.reset(grown);
    return true;
}

std::string CaBundleFromEnvironment() {
    for (const char* name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

CURLcode ApplyTlsTrust(CURL* handle) {
    int rc = curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    rc |= curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    const std::string bundle = CaBundleFromEnvironment();
    if (!bundle.empty()) rc |= curl_easy_setopt(handle, CURLOPT_CAINFO, bundle.c_str());
    return static_cast<CURLcode>(rc);
}

const char* CurlErrorText(int code) {
    if (code < 0) return "Unknown error";
    return curl_easy_strerror(static_cast<CURLcode>(code));
}

size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

std::string CurlUrl(const std::wstring& url) {
    if (url.rfind(L"file:///", 0) == 0) return NarrowPath(url);
    return Utils::ToUtf8(url);
}

}  // namespace Download
