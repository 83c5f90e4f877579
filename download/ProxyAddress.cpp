#include "download/ProxyAddress.h"

#include <charconv>

namespace Download {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "%41" -> "A"; a '%' not followed by two hex digits stays as it is.
std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

int DefaultPort(std::string_view scheme) {
    if (scheme == "http") return 80;
    if (scheme == "https") return 443;
    return 0;
}

// Splits "host", "host:port", "[v6]" or "[v6]:port"; false when the port is not a number
// from 1 to 65535.
bool SplitHostPort(std::string_view authority, std::string_view& host, int& port) {
    port = 0;
    std::string_view rest;
    if (!authority.empty() && authority.front() == '[') {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) return false;
        host = authority.substr(1, close - 1);
        rest = authority.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') return false;
    } else {
        const size_t colon = authority.find(':');
        host = authority.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view{} : authority.substr(colon);
    }
    if (rest.size() > 1) {
        rest.remove_prefix(1);
        int value = 0;
        const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
        if (ec != std::errc{} || end != rest.data() + rest.size() || value < 1 || value > 65535) return false;
        port = value;
    }
    return true;
}

// The authority of "scheme://authority/..." (or of a bare "authority/..."), and the scheme.
std::string_view Authority(std::string_view url, std::string& scheme) {
    const size_t sep = url.find("://");
    std::string_view rest = url;
    if (sep != std::string_view::npos) {
        scheme = AsciiLower(url.substr(0, sep));
        rest = url.substr(sep + 3);
    }
    return rest.substr(0, rest.find_first_of("/?#"));
}

}  // namespace

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

TargetUrl TargetUrl::Parse(std::string_view url) {
    TargetUrl target;
    std::string_view authority = Authority(Trim(url), target.scheme);
    const size_t at = authority.rfind('@');
    if (at != std::string_view::npos) authority.remove_prefix(at + 1);
    std::string_view host;
    int port = 0;
    if (!SplitHostPort(authority, host, port)) return target;
    target.host = AsciiLower(host);
    target.port = port != 0 ? port : DefaultPort(target.scheme);
    return target;
}

ProxyAddress ProxyAddress::Parse(std::string_view text) {
    text = Trim(text);
    std::string scheme = "http";
    std::string_view authority = Authority(text, scheme);
    ProxyAddress address;
    std::string_view userInfo;
    const size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        userInfo = authority.substr(0, at);
        authority.remove_prefix(at + 1);
    }
    std::string_view host;
    int port = 0;
    if (!SplitHostPort(authority, host, port) || host.empty()) return address;

    const bool v6 = host.find(':') != std::string_view::npos;
    const std::string shownHost = v6 ? "[" + std::string(host) + "]" : std::string(host);
    address.host_ = AsciiLower(host);
    address.display_ = port ? shownHost + ":" + std::to_string(port) : shownHost;
    address.url_ = scheme + "://" + address.display_;
    if (at != std::string_view::npos) {
        const size_t colon = userInfo.find(':');
        address.user_ = PercentDecode(userInfo.substr(0, colon));
        if (colon != std::string_view::npos) address.password_ = PercentDecode(userInfo.substr(colon + 1));
        address.hasCredentials_ = !address.user_.empty();
    }
    return address;
}

}  // namespace Download
