// The user's Internet settings, through WinHTTP's current-user proxy configuration, stand for
// the desktop's proxy setting.
#include "download/ProxyResolver.h"

#include <memory>

#include "download/ProxyEnvironment.h"
#include "download/ProxyInternetSettings.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"
#include "utils/WindowsApi_win32.h"
#include <winhttp.h>

namespace Download {
namespace {

// The strings WinHTTP hands over belong to the caller and go back with GlobalFree.
struct GlobalStringDeleter {
    void operator()(wchar_t* text) const {
        if (text) ::GlobalFree(text);
    }
};
using GlobalString = std::unique_ptr<wchar_t, GlobalStringDeleter>;

struct InternetHandleDeleter {
    void operator()(void* handle) const {
        if (handle) ::WinHttpCloseHandle(handle);
    }
};
using InternetHandle = std::unique_ptr<void, InternetHandleDeleter>;

std::string Narrow(const GlobalString& text) { return text ? Utils::ToUtf8(std::wstring_view(text.get())) : std::string(); }

// The fixed proxy list and bypass list of a proxy-info answer, or of the settings themselves.
struct ProxyLists {
    std::string proxy;
    std::string bypass;
};

std::string Choose(const ProxyLists& lists, const TargetUrl& target) {
    if (lists.proxy.empty() || ProxyInternetSettings::Bypassed(lists.bypass, target)) return {};
    return ProxyInternetSettings::ProxyForScheme(lists.proxy, target.scheme);
}

// Automatic detection (WPAD) and/or a configuration script; nullopt when neither gives an answer.
std::optional<std::string> AutomaticProxy(const std::string& url, bool detect, const wchar_t* scriptUrl,
                                          const TargetUrl& target) {
    InternetHandle session(::WinHttpOpen(L"Quorvex", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                         WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        QLOG(L"WinHttpOpen failed: %d\r\n", static_cast<int>(::GetLastError()));
        return std::nullopt;
    }
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (detect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (scriptUrl && *scriptUrl) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = scriptUrl;
    }
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    const std::wstring wideUrl = Utils::FromUtf8(url);
    if (!::WinHttpGetProxyForUrl(session.get(), wideUrl.c_str(), &options, &info)) {
        QLOG(L"WinHttpGetProxyForUrl failed: %d\r\n", static_cast<int>(::GetLastError()));
        return std::nullopt;
    }
    const GlobalString proxy(info.lpszProxy);
    const GlobalString bypass(info.lpszProxyBypass);
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY) return std::string();
    return Choose({Narrow(proxy), Narrow(bypass)}, target);
}

std::string InternetSettingsProxy(const std::string& url, const TargetUrl& target) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!::WinHttpGetIEProxyConfigForCurrentUser(&config)) {
        QLOG(L"WinHttpGetIEProxyConfigForCurrentUser failed: %d\r\n", static_cast<int>(::GetLastError()));
        return {};
    }
    const GlobalString scriptUrl(config.lpszAutoConfigUrl);
    const GlobalString proxy(config.lpszProxy);
    const GlobalString bypass(config.lpszProxyBypass);
    // As WinINet does: automatic configuration first, the fixed proxy when it gives no answer.
    if (config.fAutoDetect || scriptUrl) {
        if (auto automatic = AutomaticProxy(url, config.fAutoDetect != FALSE, scriptUrl.get(), target))
            return *automatic;
    }
    return Choose({Narrow(proxy), Narrow(bypass)}, target);
}

}  // namespace

std::string ProxyForUrl(const std::string& url) {
    // The environment first, as libcurl does on Windows too.
    const ProxyEnvironment environment(&ProxyEnvironment::ProcessVariable);
    const TargetUrl target = TargetUrl::Parse(url);
    if (auto chosen = environment.ProxyFor(target)) return *chosen;
    if (target.host.empty() || target.scheme == "file") return {};
    return InternetSettingsProxy(url, target);
}

}  // namespace Download
