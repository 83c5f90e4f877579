#include "download/UrlDigest.h"

#include "download/Md5Hash.h"

namespace Download {

std::string DigestFromUrl(const std::string& url) {
    const size_t last = url.rfind('/');
    if (last == std::string::npos || last == 0) return {};
    const size_t previous = url.rfind('/', last - 1);
    if (previous == std::string::npos) return {};
    return url.substr(previous + 1, last - previous - 1);
}

DigestCheck CheckFileDigest(const std::string& url, const std::string& path) {
    const std::string expected = DigestFromUrl(url);
    if (expected.size() != 32) return DigestCheck::NotNamed;
    return FileMd5Hex(path) == expected ? DigestCheck::Match : DigestCheck::Mismatch;
}

}  // namespace Download
