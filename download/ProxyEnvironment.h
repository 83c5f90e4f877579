#pragma once
// The proxy that the environment variables name for a URL, with libcurl's rules so that every
// request type of the installer makes the same choice:
//   - http URLs read http_proxy, then HTTP_PROXY; https URLs https_proxy, then HTTPS_PROXY;
//     both then fall back to all_proxy, then ALL_PROXY. An empty variable counts as unset.
//     (The desktop's GIO resolver ignores ALL_PROXY/all_proxy and sends https through
//     HTTP_PROXY; these rules replace it whenever a variable is set.)
//   - no_proxy (then NO_PROXY) lists host names, domains and addresses, separated by commas
//     or blanks: "*" matches every host; a name matches itself and every name below it, with
//     or without a leading dot ("example.com" and ".example.com" both cover example.com and
//     www.example.com); an address matches itself, "a.b.c.d/n" a whole IPv4 network. Case is
//     ignored.
//   - file: URLs and URLs without a host never use a proxy.
#include <optional>
#include <string>
#include <string_view>

#include "download/ProxyAddress.h"

namespace Download {

class ProxyEnvironment {
public:
    // Reads one variable; nullptr when it is unset. std::getenv in the program, a map in tests.
    using Lookup = const char* (*)(const char* name);

    explicit ProxyEnvironment(Lookup lookup);
    // This process's environment.
    static const char* ProcessVariable(const char* name);

    // The proxy text for the URL (as the variable holds it, credentials included), "" for a
    // direct connection, or nullopt when the environment names no proxy for the URL's scheme
    // (then the desktop's setting decides; Excluded() still applies to its answer).
    std::optional<std::string> ProxyFor(const TargetUrl& url) const;
    // True when no_proxy / NO_PROXY exempts the host.
    bool Excluded(const TargetUrl& url) const;

    static bool NoProxyMatches(std::string_view list, std::string_view host);

private:
    std::string Read(const char* lower, const char* upper) const;

    Lookup lookup_;
};

}  // namespace Download
