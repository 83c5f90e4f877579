#include "download/UrlmonProxy_win32.h"

#include <condition_variable>
#include <cstring>
#include <mutex>

#include "download/ProxyResolver.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

#include "utils/WindowsApi_win32.h"

#include <objbase.h>
#include <urlmon.h>
#include <wininet.h>

namespace Download::win {
namespace {

// wininet's proxy text: "host:port" for an HTTP proxy (all schemes go through it, HTTPS
// by CONNECT), "socks=host:port" for a SOCKS one; "" for a direct connection.
std::string SettingOf(const ProxyAddress& address) {
    if (address.IsDirect()) return {};
    if (address.Url().rfind("socks", 0) == 0) return "socks=" + address.Display();
    return address.Display();
}

// The process-wide proxy, in the narrow form: urlmon hands this option to wininet's ANSI
// entry point. Where urlmon refuses the option (wine's does), wininet's own process-wide
// setting is the fallback; the text is ASCII (a host name and a port).
struct NarrowProxyInfo {
    DWORD accessType;
    const char* proxy;
    const char* bypass;
};
void Apply(const std::string& setting) {
    NarrowProxyInfo info{setting.empty() ? DWORD{INTERNET_OPEN_TYPE_DIRECT} : DWORD{INTERNET_OPEN_TYPE_PROXY},
                         setting.empty() ? nullptr : setting.c_str(), nullptr};
    const ::HRESULT session = UrlMkSetSessionOption(INTERNET_OPTION_PROXY, &info, sizeof info, 0);
    if (SUCCEEDED(session)) return;
    if (!InternetSetOptionA(nullptr, INTERNET_OPTION_PROXY, &info, sizeof info))
        QLOG(L"proxy setting refused: 0x%08lX, %lu\r\n", static_cast<unsigned long>(session), GetLastError());
}

LPWSTR TaskCopy(const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (copy) std::memcpy(copy, text.c_str(), bytes);
    return copy;
}

struct Turns {
    std::mutex mutex;
    std::condition_variable changed;
    std::string current;
    bool applied = false;
    int users = 0;
};
Turns& SharedTurns() {
    static Turns turns;
    return turns;
}

}  // namespace

UrlmonProxy::UrlmonProxy(const std::wstring& url)
    : address_(ProxyAddress::Parse(ProxyForUrl(Utils::ToUtf8(url)))), setting_(SettingOf(address_)) {
    Turns& turns = SharedTurns();
    std::unique_lock lock(turns.mutex);
    turns.changed.wait(lock, [&] { return turns.users == 0 || turns.current == setting_; });
    if (turns.users == 0 && !(turns.applied && turns.current == setting_)) {
        Apply(setting_);
        turns.current = setting_;
        turns.applied = true;
    }
    ++turns.users;
}

UrlmonProxy::~UrlmonProxy() {
    Turns& turns = SharedTurns();
    {
        std::lock_guard lock(turns.mutex);
        --turns.users;
    }
    turns.changed.notify_all();
}

::HRESULT UrlmonProxy::Credentials(unsigned status, LPWSTR* user, LPWSTR* password) {
    if (!user || !password) return E_INVALIDARG;
    *user = nullptr;
    *password = nullptr;
    if (status != HTTP_STATUS_PROXY_AUTH_REQ || !address_.HasCredentials() || credentialsGiven_)
        return E_ACCESSDENIED;
    *user = TaskCopy(Utils::FromUtf8(address_.User()));
    *password = TaskCopy(Utils::FromUtf8(address_.Password()));
    if (!*user || !*password) {
        CoTaskMemFree(*user);
        CoTaskMemFree(*password);
        *user = *password = nullptr;
        return E_OUTOFMEMORY;
    }
    credentialsGiven_ = true;
    return S_OK;
}

void UrlmonProxy::LogFailure(unsigned status, ::HRESULT result) const {
    if (address_.IsDirect() || result == E_ABORT) return;
    const std::string name = "proxy " + address_.Display();
    if (status == HTTP_STATUS_PROXY_AUTH_REQ) {
        QLOG(L"%S refused the %S (407 Proxy Authentication Required)\r\n", name.c_str(),
             address_.HasCredentials() ? "credentials" : "request");
    } else if (status == 0 && FAILED(result)) {
        QLOG(L"%S could not be reached (urlmon error 0x%08lX)\r\n", name.c_str(),
             static_cast<unsigned long>(result));
    }
}

}  // namespace Download::win
