// Fuzz target: what a server or an address hands the download engine. Every input is read as a
// final address (its digest segment, its libcurl and URL-moniker forms) and, line by line, as
// response headers (the Content-Range a ranged part trusts). Must never crash, and a position it
// accepts must be one the header really states.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "download/ContentRange.h"
#include "download/CWinDownloader.h"
#include "download/CurlSupport.h"
#include "download/UrlDigest.h"
#include "utils/StringUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const std::string digest = Download::DigestFromUrl(text);
    // The digest is the text between the last two "/", so it never holds one itself.
    if (digest.find('/') != std::string::npos || digest.size() >= text.size() + (text.empty() ? 1 : 0))
        std::abort();
    const std::wstring wide = Utils::FromUtf8(text);
    (void)Download::CurlUrl(wide);
    // The URL-moniker downloader's address: printable ASCII only, unless it names a local file.
    const std::wstring escaped = CWinDownloader::PrepareUrl(wide);
    if (wide.rfind(L"file:///", 0) != 0)
        for (wchar_t c : escaped)
            if (c < 33 || c > 126) std::abort();

    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        const int64_t first = Download::ContentRangeStart(line);
        if (first < -1) std::abort();
        if (first >= 0 && line.find(std::to_string(first)) == std::string_view::npos) std::abort();
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return 0;
}
