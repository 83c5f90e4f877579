#pragma once
// The two texts of the Windows Internet settings, read the way WinINet reads them. Pure text
// handling, so it is tested on every system.
//
// Proxy list: "host:port" serves every scheme; "http=host:port;https=host:port;socks=host:port"
// names one per scheme (entries separated by ';' or blanks; a "socks=" entry serves the schemes
// without one of their own, as a SOCKS4 proxy).
// Bypass list: entries separated by ';', ',' or blanks; '*' is a wildcard; an entry may carry a
// scheme ("http://*.corp") and a port ("*.corp:8080"); "<local>" matches host names without a
// dot. Loopback hosts (localhost, 127.x.x.x, ::1) bypass the proxy unless the list holds
// "<-loopback>", as WinINet does. Case is ignored.
#include <string>
#include <string_view>

#include "download/ProxyAddress.h"

namespace Download {

class ProxyInternetSettings {
public:
    // The proxy text for the scheme ("" when the list names none for it).
    static std::string ProxyForScheme(std::string_view list, std::string_view scheme);
    static bool Bypassed(std::string_view bypassList, const TargetUrl& url);
    // Case-insensitive match with '*' standing for any run of characters.
    static bool WildcardMatch(std::string_view pattern, std::string_view text);
};

}  // namespace Download
