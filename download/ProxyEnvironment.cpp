#include "download/ProxyEnvironment.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <cstdint>

namespace Download {
namespace {

bool IsSeparator(char c) { return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Dotted IPv4 text to a number; nullopt for anything else.
std::optional<uint32_t> ParseIpv4(std::string_view text) {
    uint32_t value = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t dot = text.find('.');
        const std::string_view piece = part < 3 ? text.substr(0, dot) : text;
        if (piece.empty() || piece.size() > 3 || (part < 3 && dot == std::string_view::npos)) return std::nullopt;
        unsigned octet = 0;
        const auto [end, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), octet);
        if (ec != std::errc{} || end != piece.data() + piece.size() || octet > 255) return std::nullopt;
        value = (value << 8) | octet;
        if (part < 3) text.remove_prefix(dot + 1);
    }
    return value;
}

bool MatchesEntry(std::string_view entry, std::string_view host) {
    if (entry == "*") return true;
    // "a.b.c.d/n": an IPv4 network.
    if (const size_t slash = entry.find('/'); slash != std::string_view::npos) {
        const auto network = ParseIpv4(entry.substr(0, slash));
        const auto address = ParseIpv4(host);
        unsigned bits = 0;
        const std::string_view bitText = entry.substr(slash + 1);
        const auto [end, ec] = std::from_chars(bitText.data(), bitText.data() + bitText.size(), bits);
        if (!network || !address || ec != std::errc{} || end != bitText.data() + bitText.size() || bits > 32)
            return false;
        const uint32_t mask = bits == 0 ? 0u : ~0u << (32 - bits);
        return (*network & mask) == (*address & mask);
    }
    if (entry.size() > 1 && entry.front() == '[' && entry.back() == ']') entry = entry.substr(1, entry.size() - 2);
    while (!entry.empty() && entry.front() == '.') entry.remove_prefix(1);
    if (entry.empty()) return false;
    if (host == entry) return true;
    // A name covers the names below it, never a name that merely ends in the same letters.
    return host.size() > entry.size() && host.substr(host.size() - entry.size()) == entry &&
           host[host.size() - entry.size() - 1] == '.';
}

}  // namespace

ProxyEnvironment::ProxyEnvironment(Lookup lookup) : lookup_(lookup) {}

const char* ProxyEnvironment::ProcessVariable(const char* name) { return std::getenv(name); }

std::string ProxyEnvironment::Read(const char* lower, const char* upper) const {
    for (const char* name : {lower, upper}) {
        const char* value = lookup_(name);
        if (value && *value) return value;
    }
    return {};
}

bool ProxyEnvironment::NoProxyMatches(std::string_view list, std::string_view host) {
    const std::string lowerHost = AsciiLower(host);
    const std::string lowerList = AsciiLower(list);
    std::string_view rest = lowerList;
    while (!rest.empty()) {
        size_t start = 0;
        while (start < rest.size() && IsSeparator(rest[start])) ++start;
        size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end])) ++end;
        if (end > start && MatchesEntry(rest.substr(start, end - start), lowerHost)) return true;
        rest.remove_prefix(end);
    }
    return false;
}

bool ProxyEnvironment::Excluded(const TargetUrl& url) const {
    const std::string list = Read("no_proxy", "NO_PROXY");
    return !list.empty() && NoProxyMatches(list, url.host);
}

std::optional<std::string> ProxyEnvironment::ProxyFor(const TargetUrl& url) const {
    if (url.host.empty() || url.scheme == "file") return std::string();
    std::string proxy;
    if (url.scheme == "http") proxy = Read("http_proxy", "HTTP_PROXY");
    else if (url.scheme == "https") proxy = Read("https_proxy", "HTTPS_PROXY");
    if (proxy.empty()) proxy = Read("all_proxy", "ALL_PROXY");
    if (Excluded(url)) return std::string();
    if (proxy.empty()) return std::nullopt;
    return proxy;
}

}  // namespace Download
