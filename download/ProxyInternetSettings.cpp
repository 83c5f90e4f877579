#include "download/ProxyInternetSettings.h"

#include <vector>

namespace Download {
namespace {

std::vector<std::string_view> Split(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> parts;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find_first_of(separators, pos), text.size());
        if (end > pos) parts.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

bool IsLoopback(std::string_view host) {
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

}  // namespace

bool ProxyInternetSettings::WildcardMatch(std::string_view pattern, std::string_view text) {
    const std::string p = AsciiLower(pattern);
    const std::string t = AsciiLower(text);
    // Greedy match with one back-track point (the last '*' seen).
    size_t pi = 0, ti = 0, star = std::string::npos, resume = 0;
    while (ti < t.size()) {
        if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            resume = ti;
        } else if (pi < p.size() && p[pi] == t[ti]) {
            ++pi;
            ++ti;
        } else if (star != std::string::npos) {
            pi = star + 1;
            ti = ++resume;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

std::string ProxyInternetSettings::ProxyForScheme(std::string_view list, std::string_view scheme) {
    std::string socks;
    const std::string wanted = AsciiLower(scheme);
    for (std::string_view entry : Split(list, "; \t\r\n")) {
        const size_t eq = entry.find('=');
        if (eq == std::string_view::npos) return std::string(entry);  // one proxy for all schemes
        const std::string name = AsciiLower(entry.substr(0, eq));
        const std::string_view value = entry.substr(eq + 1);
        if (value.empty()) continue;
        if (name == wanted) return std::string(value);
        if (name == "socks" && socks.empty()) socks = "socks4://" + std::string(value);
    }
    return socks;
}

bool ProxyInternetSettings::Bypassed(std::string_view bypassList, const TargetUrl& url) {
    bool loopbackBypass = true;
    const std::string hostPort = url.host + ":" + std::to_string(url.port);
    for (std::string_view entry : Split(bypassList, "; ,\t\r\n")) {
        const std::string lower = AsciiLower(entry);
        if (lower == "<-loopback>") {
            loopbackBypass = false;
            continue;
        }
        if (lower == "<local>") {
            if (url.host.find('.') == std::string::npos && url.host.find(':') == std::string::npos) return true;
            continue;
        }
        std::string_view pattern = lower;
        if (const size_t sep = pattern.find("://"); sep != std::string_view::npos) {
            if (pattern.substr(0, sep) != url.scheme) continue;
            pattern.remove_prefix(sep + 3);
        }
        // A port in the entry ("name:port", "[v6]:port") is matched with the host's port.
        const bool v6 = !pattern.empty() && pattern.front() == '[';
        const size_t close = v6 ? pattern.find(']') : 0;
        if (v6 && close != std::string_view::npos) {
            const std::string_view host = pattern.substr(1, close - 1);
            const std::string_view rest = pattern.substr(close + 1);
            if (rest.empty() ? WildcardMatch(host, url.host)
                             : WildcardMatch(std::string(host) + std::string(rest), hostPort))
                return true;
            continue;
        }
        const bool hasPort = pattern.find(':') != std::string_view::npos && pattern.find(':') == pattern.rfind(':');
        if (WildcardMatch(pattern, hasPort ? std::string_view(hostPort) : std::string_view(url.host))) return true;
    }
    return loopbackBypass && IsLoopback(url.host);
}

}  // namespace Download
