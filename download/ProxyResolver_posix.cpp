// GIO's default proxy resolver stands in for the desktop's proxy setting.
#include "download/ProxyResolver.h"

#include <gio/gio.h>
#include <memory>

#include "download/ProxyEnvironment.h"
#include "utils/Log.h"

namespace Download {
namespace {

struct StrvDeleter {
    void operator()(gchar** list) const { g_strfreev(list); }
};

// The first entry of GIO's answer that libcurl and libsoup can use; "" for direct.
std::string DesktopProxy(const std::string& url) {
    GProxyResolver* resolver = g_proxy_resolver_get_default();  // owned by GIO
    if (!resolver) return {};
    GError* raw = nullptr;
    std::unique_ptr<gchar*, StrvDeleter> proxies(g_proxy_resolver_lookup(resolver, url.c_str(), nullptr, &raw));
    if (!proxies) {
        if (raw) {
            QLOG(L"proxy lookup failed, connecting directly: %S\r\n", raw->message);
            g_error_free(raw);
        }
        return {};
    }
    for (gchar** entry = proxies.get(); *entry; ++entry) {
        const std::string text = *entry;
        if (text.rfind("direct://", 0) == 0) return {};
        if (text.rfind("http://", 0) == 0 || text.rfind("https://", 0) == 0 || text.rfind("socks", 0) == 0)
            return text;
    }
    return {};
}

}  // namespace

std::string ProxyForUrl(const std::string& url) {
    const ProxyEnvironment environment(&ProxyEnvironment::ProcessVariable);
    const TargetUrl target = TargetUrl::Parse(url);
    if (auto chosen = environment.ProxyFor(target)) return *chosen;
    return DesktopProxy(url);
}

}  // namespace Download
