// GIO (file:) and libsoup-3 (http, https) stand in for the system URL download service.
#include "download/UrlMoniker.h"

#include <algorithm>
#include <chrono>
#include <gio/gio.h>
#include <libsoup/soup.h>
#include <memory>

#include "download/CurlSupport.h"
#include "download/FileOps.h"
#include "download/ProxyAddress.h"
#include "download/ProxyResolver.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

namespace UrlMoniker {
namespace {

template <typename T>
struct GObjectDeleter {
    void operator()(T* object) const {
        if (object) g_object_unref(object);
    }
};
template <typename T>
using GRef = std::unique_ptr<T, GObjectDeleter<T>>;

struct GErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

// The transfer as the callback sees it: Abort() cancels whatever GIO / libsoup call is running.
class Binding final : public IBinding {
public:
    Binding() : cancellable_(g_cancellable_new()) {}
    ~Binding() { g_object_unref(cancellable_); }
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;
    HRESULT Abort() override {
        g_cancellable_cancel(cancellable_);
        return kS_OK;
    }
    GCancellable* Cancellable() const { return cancellable_; }

private:
    GCancellable* cancellable_;
};

// A private main context for the calling thread while libsoup works on it.
class ThreadContext {
public:
    ThreadContext() : context_(g_main_context_new()) { g_main_context_push_thread_default(context_); }
    ~ThreadContext() {
        g_main_context_pop_thread_default(context_);
        g_main_context_unref(context_);
    }
    ThreadContext(const ThreadContext&) = delete;
    ThreadContext& operator=(const ThreadContext&) = delete;

private:
    GMainContext* context_;
};

HRESULT FromGError(const GError* error) {
    if (!error) return kINET_E_DOWNLOAD_FAILURE;
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return kE_ABORT;
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_FOUND)) return kINET_E_RESOURCE_NOT_FOUND;
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_HOST_NOT_FOUND) ||
        g_error_matches(error, G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND))
        return kINET_E_CANNOT_CONNECT;
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) return kINET_E_CONNECTION_TIMEOUT;
    if (error->domain == G_TLS_ERROR) return kINET_E_SECURITY_PROBLEM;
    return kINET_E_DOWNLOAD_FAILURE;
}

// Notifications while data arrives: at most every 64 KiB or 50 ms, and always for the last byte.
class ProgressPacer {
public:
    bool Due(uint64_t received, bool last) {
        const auto now = std::chrono::steady_clock::now();
        if (!last && received - lastBytes_ < (64u << 10) && now - lastTime_ < std::chrono::milliseconds(50))
            return false;
        lastBytes_ = received;
        lastTime_ = now;
        return true;
    }

private:
    uint64_t lastBytes_ = 0;
    std::chrono::steady_clock::time_point lastTime_{};
};

// Copies `body` into a fresh "<target>.part" (never through a link planted at that name, with
// its mode whatever the umask), reporting progress against `total` (0: unknown). Each stored
// piece goes to OnDataAvailable as (0, its length, null format, its bytes), in file order.
HRESULT StoreBody(GInputStream* body, uint64_t total, const std::string& partPath, IBindStatusCallback* callback,
                  Binding& binding) {
    Utils::FileHandle file = Utils::FileHandle::CreateFresh(partPath);
    if (!file.IsOpen()) return kSTG_E_WRITEFAULT;

    constexpr size_t kChunk = 256 * 1024;
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    uint64_t received = 0;
    ProgressPacer pacer;
    for (;;) {
        GError* readRaw = nullptr;
        const gssize n = g_input_stream_read(body, buffer.get(), kChunk, binding.Cancellable(), &readRaw);
        GErrorPtr readError(readRaw);
        if (n < 0) return FromGError(readError.get());
        if (n == 0) break;
        if (!file.WriteAll(buffer.get(), static_cast<size_t>(n))) return kSTG_E_WRITEFAULT;
        // The caller may digest the file as it is written instead of reading it afterwards.
        callback->OnDataAvailable(0, static_cast<uint64_t>(n), nullptr, buffer.get());
        received += static_cast<uint64_t>(n);
        if (pacer.Due(received, total != 0 && received >= total) &&
            callback->OnProgress(received, total, BINDSTATUS_DOWNLOADINGDATA, L"") == kE_ABORT) {
            binding.Abort();
            return kE_ABORT;
        }
    }
    // A body shorter than announced is a broken transfer, not a file.
    if (total != 0 && received != total) return kINET_E_DOWNLOAD_FAILURE;
    g_input_stream_close(body, nullptr, nullptr);
    if (!file.Close()) return kSTG_E_WRITEFAULT;
    return kS_OK;
}

HRESULT CopyLocal(const std::string& uri, const std::string& partPath, IBindStatusCallback* callback,
                  Binding& binding) {
    GRef<GFile> source(g_file_new_for_uri(uri.c_str()));
    GError* raw = nullptr;
    GRef<GFileInputStream> input(g_file_read(source.get(), binding.Cancellable(), &raw));
    GErrorPtr error(raw);
    if (!input) return FromGError(error.get());
    raw = nullptr;
    GRef<GFileInfo> info(g_file_input_stream_query_info(input.get(), G_FILE_ATTRIBUTE_STANDARD_SIZE,
                                                        binding.Cancellable(), &raw));
    GErrorPtr infoError(raw);
    const uint64_t total = info ? static_cast<uint64_t>(std::max<goffset>(g_file_info_get_size(info.get()), 0)) : 0;
    return StoreBody(G_INPUT_STREAM(input.get()), total, partPath, callback, binding);
}

// The proxy of one fetch. libsoup is given the same choice as the libcurl downloads (rather than
// GIO's default resolver, whose reading of the environment differs: no all_proxy, no_proxy
// without subdomains), and credentials from the proxy URL answer the proxy's 407 once.
class SoupProxy {
public:
    explicit SoupProxy(const std::string& url)
        : text_(Download::ProxyForUrl(url)), address_(Download::ProxyAddress::Parse(text_)) {}

    void Attach(SoupSession* session, SoupMessage* message) {
        // The proxy without credentials: libsoup would send the URL's user part as it stands
        // (still percent-encoded); the decoded credentials answer the 407 instead.
        GRef<GProxyResolver> resolver(
            g_simple_proxy_resolver_new(address_.IsDirect() ? nullptr : address_.Url().c_str(), nullptr));
        g_object_set(session, "proxy-resolver", resolver.get(), nullptr);
        if (address_.HasCredentials())
            g_signal_connect(message, "authenticate", G_CALLBACK(&SoupProxy::OnAuthenticate), this);
    }

    // The trace line for a failure the proxy caused; nothing when it did not.
    void LogFailure(unsigned status, const GError* error) const {
        if (address_.IsDirect()) return;
        const std::string name = "proxy " + address_.Display();
        const bool refused =
            status == SOUP_STATUS_PROXY_AUTHENTICATION_REQUIRED ||
            (error && (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_PROXY_NEED_AUTH) ||
                       g_error_matches(error, G_IO_ERROR, G_IO_ERROR_PROXY_AUTH_FAILED)));
        if (refused) {
            QLOG(L"%S refused the %S (407 Proxy Authentication Required)\r\n", name.c_str(),
                 address_.HasCredentials() ? "credentials" : "request");
        } else if (error && (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED) ||
                             g_error_matches(error, G_IO_ERROR, G_IO_ERROR_PROXY_FAILED) ||
                             g_error_matches(error, G_IO_ERROR, G_IO_ERROR_HOST_NOT_FOUND) ||
                             g_error_matches(error, G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND))) {
            QLOG(L"%S could not be reached (%S)\r\n", name.c_str(), error->message);
        }
    }

    // A 407 that came back although credentials were offered, or none could be: the proxy's.
    static bool NeedsAuth(const GError* error) {
        return error && (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_PROXY_NEED_AUTH) ||
                         g_error_matches(error, G_IO_ERROR, G_IO_ERROR_PROXY_AUTH_FAILED));
    }

private:
    static gboolean OnAuthenticate(SoupMessage*, SoupAuth* auth, gboolean retrying, gpointer self) {
        auto* proxy = static_cast<SoupProxy*>(self);
        if (!soup_auth_is_for_proxy(auth) || retrying) return FALSE;  // refused credentials: fail
        soup_auth_authenticate(auth, proxy->address_.User().c_str(), proxy->address_.Password().c_str());
        return TRUE;
    }

    std::string text_;
    Download::ProxyAddress address_;
};

HRESULT FetchHttp(const std::string& url, const std::string& partPath, IBindStatusCallback* callback,
                  Binding& binding) {
    ThreadContext threadContext;
    GRef<SoupSession> session(soup_session_new_with_options("timeout", 30u, "idle-timeout", 30u, nullptr));
    // The body is stored as it arrives: no encoding is advertised, none is decoded.
    soup_session_remove_feature_by_type(session.get(), SOUP_TYPE_CONTENT_DECODER);
    const std::string bundle = Download::CaBundleFromEnvironment();
    if (!bundle.empty()) {
        GError* raw = nullptr;
        GRef<GTlsDatabase> database(g_tls_file_database_new(bundle.c_str(), &raw));
        GErrorPtr error(raw);
        if (!database) return kINET_E_SECURITY_PROBLEM;
        soup_session_set_tls_database(session.get(), database.get());
    }
    GRef<SoupMessage> message(soup_message_new("GET", url.c_str()));
    if (!message) return kINET_E_INVALID_URL;
    SoupProxy proxy(url);
    proxy.Attach(session.get(), message.get());

    callback->OnProgress(0, 0, BINDSTATUS_CONNECTING, L"");
    GError* raw = nullptr;
    GRef<GInputStream> body(soup_session_send(session.get(), message.get(), binding.Cancellable(), &raw));
    GErrorPtr error(raw);
    const unsigned status = soup_message_get_status(message.get());
    if (!body || status < 200 || status > 299) proxy.LogFailure(status, error.get());
    if (!body && SoupProxy::NeedsAuth(error.get()))
        return static_cast<HRESULT>(kHTTP_E_STATUS_BASE + SOUP_STATUS_PROXY_AUTHENTICATION_REQUIRED);
    if (!body) return FromGError(error.get());
    if (status < 200 || status > 299) return static_cast<HRESULT>(kHTTP_E_STATUS_BASE + status);
    if (GUri* finalUri = soup_message_get_uri(message.get())) {
        std::unique_ptr<char, decltype(&g_free)> finalUrl(g_uri_to_string(finalUri), &g_free);
        if (finalUrl && url != finalUrl.get())
            callback->OnProgress(0, 0, BINDSTATUS_REDIRECTING, Utils::FromUtf8(finalUrl.get()).c_str());
    }

    SoupMessageHeaders* headers = soup_message_get_response_headers(message.get());
    uint64_t total = 0;
    if (soup_message_headers_get_encoding(headers) == SOUP_ENCODING_CONTENT_LENGTH)
        total = static_cast<uint64_t>(soup_message_headers_get_content_length(headers));

    return StoreBody(body.get(), total, partPath, callback, binding);
}

}  // namespace

HRESULT URLDownloadToFile(void*, const std::wstring& url, const std::wstring& file, uint32_t,
                          IBindStatusCallback* callback) {
    if (!callback || url.empty() || file.empty()) return kE_INVALIDARG;
    BindInfo info;
    uint32_t flags = 0;
    callback->GetBindInfo(&flags, &info);
    const std::string target = Download::NarrowPath(file);
    const std::string partPath = target + ".part";
    const std::string narrowUrl = Utils::ToUtf8(url);

    Binding binding;
    callback->OnStartBinding(0, &binding);
    HRESULT result;
    if (g_str_has_prefix(narrowUrl.c_str(), "file:")) {
        result = CopyLocal(narrowUrl, partPath, callback, binding);
    } else if (g_str_has_prefix(narrowUrl.c_str(), "http://") || g_str_has_prefix(narrowUrl.c_str(), "https://")) {
        result = FetchHttp(narrowUrl, partPath, callback, binding);
    } else {
        result = kINET_E_INVALID_URL;
    }
    if (result == kS_OK && !Utils::RenameFile(partPath, target)) result = kSTG_E_WRITEFAULT;
    if (result != kS_OK) Utils::RemoveFile(partPath);
    callback->OnStopBinding(result, L"");
    return result;
}

}  // namespace UrlMoniker
