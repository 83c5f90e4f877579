// urlmon's URLDownloadToFileW is the system URL download service: a bridge object implements
// the COM bind status callback and hands every notification to the caller's portable callback.
#include "download/UrlMoniker.h"
#include "download/UrlmonProxy_win32.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <optional>
#include <mutex>
#include <vector>

#include "utils/Log.h"
#include "utils/StringUtils.h"
#include "utils/WindowsApi_win32.h"
#include "utils/WinResource_win32.h"

#include <objbase.h>
#include <urlmon.h>
#include <wininet.h>

// urlmon.h maps the name to its W or A function; ours is the portable one.
#undef URLDownloadToFile

namespace {

using UrlMoniker::kE_ABORT;
using UrlMoniker::kS_OK;

// Redirect hops one download may take. libsoup, which serves these downloads on Linux, gives up
// after 20; the same bound here, so that a server redirecting in a circle fails alike on both.
constexpr int kMaxRedirects = 20;

// A stalled server must not hold a transfer for wininet's default of an hour: the same 30
// seconds of silence that the other downloaders allow. These are the process-wide defaults of
// every connection urlmon makes through wininet.
void LimitStalls() {
    static const bool applied = [] {
        DWORD timeoutMs = 30000;
        bool ok = InternetSetOptionW(nullptr, INTERNET_OPTION_CONNECT_TIMEOUT, &timeoutMs, sizeof timeoutMs) != 0;
        ok = InternetSetOptionW(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeoutMs, sizeof timeoutMs) != 0 && ok;
        return ok;
    }();
    (void)applied;  // without the limits a transfer still works, only a stall lasts longer
}

// urlmon's own binding of the running call, whose Abort must run on the calling thread (the
// binding lives in that thread's apartment). While the call blocks in URLDownloadToFileW the
// thread only pumps messages, so a stop from another thread reaches it as a message to this
// hidden window: urlmon then closes the connection at once, also when a stalled server sends
// nothing (without this, a stall would hold the caller until the receive timeout).
class AbortWindow {
public:
    AbortWindow() {
        static const ATOM windowClass = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = &AbortWindow::Procedure;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"QuorvexUrlMonikerAbort";
            return RegisterClassExW(&wc);
        }();
        if (windowClass == 0) return;  // a stop then waits for urlmon's next notice
        window_ = CreateWindowExW(0, MAKEINTATOM(windowClass), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        if (window_) SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~AbortWindow() {
        if (window_) DestroyWindow(window_);
        SetBinding(nullptr);
    }
    AbortWindow(const AbortWindow&) = delete;
    AbortWindow& operator=(const AbortWindow&) = delete;

    HWND Handle() const { return window_; }
    ::IBinding* UrlmonBinding() const { return binding_; }
    // An abort asked for by the calling thread itself (from within a notification): posted, so
    // that urlmon's binding is not aborted from inside its own notice.
    void RequestAbort() {
        // Without the message the bridge still answers every later notice with E_ABORT.
        if (window_ && !PostMessageW(window_, kAbortMessage, 0, 0)) QLOG(L"abort not posted: %lu\r\n", GetLastError());
    }
    // Kept (with a reference) from OnStartBinding until the call is over; calling thread only.
    void SetBinding(::IBinding* binding) {
        if (binding) binding->AddRef();
        if (binding_) binding_->Release();
        binding_ = binding;
    }

    static constexpr UINT kAbortMessage = WM_APP + 1;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != kAbortMessage) return DefWindowProcW(window, message, wParam, lParam);
        auto* self = reinterpret_cast<AbortWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && self->binding_ && !self->abortSent_) {
            self->abortSent_ = true;
            self->binding_->Abort();
        }
        return 0;
    }

    HWND window_ = nullptr;
    ::IBinding* binding_ = nullptr;
    bool abortSent_ = false;
};

// The transfer as the portable callback sees it. Abort() may come from any thread: the request
// is recorded (the bridge answers the next notification with E_ABORT) and handed to the calling
// thread's abort window, which aborts urlmon's binding without waiting for a notification.
class Binding final : public UrlMoniker::IBinding {
public:
    explicit Binding(HWND abortWindow) : abortWindow_(abortWindow) {}

    UrlMoniker::HRESULT Abort() override {
        aborted_.store(true);
        std::lock_guard lock(mutex_);
        if (abortWindow_) {
            // urlmon's wait wakes for posted messages but may retrieve only its own; the sent
            // form is delivered by any message retrieval of the thread, the posted one by a
            // loop that dispatches everything. The window handles the first that arrives.
            SendNotifyMessageW(abortWindow_, AbortWindow::kAbortMessage, 0, 0);
            PostMessageW(abortWindow_, AbortWindow::kAbortMessage, 0, 0);
        }
        return kS_OK;
    }
    bool Aborted() const { return aborted_.load(); }
    // Called on the calling thread before the abort window goes away.
    void ForgetWindow() {
        std::lock_guard lock(mutex_);
        abortWindow_ = nullptr;
    }

private:
    std::atomic<bool> aborted_{false};
    std::mutex mutex_;
    HWND abortWindow_;
};

// The address urlmon's connection requests (or, once the response is in, answered): wininet's
// own record, which follows every redirect. "" when the binding does not tell.
std::wstring AddressOf(::IBinding* binding) {
    if (!binding) return {};
    Utils::win::ComPtr<IWinInetInfo> info;
    if (FAILED(binding->QueryInterface(IID_IWinInetInfo, info.ReceiveVoid())) || !info) return {};
    // Zeroed, with room for a terminator past what the call may fill.
    std::vector<BYTE> buffer((INTERNET_MAX_URL_LENGTH + 2) * sizeof(wchar_t), 0);
    DWORD size = static_cast<DWORD>(buffer.size() - 2 * sizeof(wchar_t));
    if (FAILED(info->QueryOption(INTERNET_OPTION_URL, buffer.data(), &size))) return {};
    // Whether the text comes wide or narrow is the service's choice (wine answers wide). An
    // address starts with an ASCII scheme letter, whose second byte is zero only in UTF-16.
    if (buffer[0] != 0 && buffer[1] == 0) {
        std::wstring wide(buffer.size() / sizeof(wchar_t), L'\0');
        std::copy(buffer.begin(), buffer.end(), reinterpret_cast<BYTE*>(wide.data()));
        wide.resize(wide.find(L'\0'));
        return wide;
    }
    const auto* narrow = reinterpret_cast<const char*>(buffer.data());
    const int length = static_cast<int>(std::find(buffer.begin(), buffer.end(), BYTE{0}) - buffer.begin());
    if (length == 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    const int converted = MultiByteToWideChar(CP_ACP, 0, narrow, length, wide.data(), length);
    if (converted <= 0) return {};
    wide.resize(static_cast<size_t>(converted));
    return wide;
}

// One response header of the binding's request as wininet parsed it; nullopt when the binding
// does not tell or the response has no such header.
std::optional<std::string> HeaderOf(::IBinding* binding, DWORD query) {
    if (!binding) return std::nullopt;
    Utils::win::ComPtr<IWinInetHttpInfo> info;
    if (FAILED(binding->QueryInterface(IID_IWinInetHttpInfo, info.ReceiveVoid())) || !info) return std::nullopt;
    std::string text(256, '\0');
    DWORD size = static_cast<DWORD>(text.size() - 1);
    DWORD flags = 0;
    if (info->QueryInfo(query, text.data(), &size, &flags, nullptr) != S_OK) return std::nullopt;
    text.resize(text.find('\0'));  // the buffer is zeroed past what the call may fill
    return text;
}

// The body's length in full 64 bits, from the response's own header: urlmon's notices count in
// 32 bits, and wine's end at 2 GiB, so a larger package would seem longer than announced. None
// when the header is missing or malformed, or when the body comes encoded (what is stored is
// the decoded body, whose length the header does not give).
std::optional<uint64_t> BodyLengthOf(::IBinding* binding) {
    const auto encoding = HeaderOf(binding, HTTP_QUERY_CONTENT_ENCODING);
    if (encoding && !encoding->empty() && Utils::AsciiLower(Utils::FromUtf8(*encoding)) != L"identity")
        return std::nullopt;
    const auto length = HeaderOf(binding, HTTP_QUERY_CONTENT_LENGTH);
    if (!length || length->empty()) return std::nullopt;
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(length->data(), length->data() + length->size(), value);
    if (error != std::errc() || end != length->data() + length->size()) return std::nullopt;
    return value;
}

// Statuses that come once the final response is in and before (or with) its body.
bool AnnouncesResponse(ULONG statusCode) {
    return statusCode == BINDSTATUS_MIMETYPEAVAILABLE || statusCode == BINDSTATUS_CACHEFILENAMEAVAILABLE ||
           statusCode == BINDSTATUS_BEGINDOWNLOADDATA || statusCode == BINDSTATUS_DOWNLOADINGDATA ||
           statusCode == BINDSTATUS_ENDDOWNLOADDATA;
}

// The COM face of the portable callback. urlmon holds references to it while it works; the
// caller keeps one until the call has returned and then detaches it, so a late notification
// (after URLDownloadToFileW returned) never reaches a callback that may be gone. Start and stop
// of the binding are told to the portable callback by the caller itself, exactly once each,
// whatever urlmon reports: the callback keeps the binding between the two.
class BindStatusBridge final : public IBindStatusCallback, public IHttpNegotiate, public IAuthenticate {
public:
    BindStatusBridge(UrlMoniker::IBindStatusCallback* callback, Binding* binding, AbortWindow* abortWindow,
                     Download::win::UrlmonProxy* proxy, uint32_t codePage, std::wstring url)
        : callback_(callback), binding_(binding), abortWindow_(abortWindow), proxy_(proxy), codePage_(codePage),
          toldAddress_(std::move(url)) {}

    void Detach() {
        callback_ = nullptr;
        binding_ = nullptr;
        abortWindow_ = nullptr;
        proxy_ = nullptr;
    }
    // The last HTTP status urlmon reported; 0 when none (a file: URL, or no answer at all).
    DWORD HttpStatus() const { return httpStatus_; }
    // The body's length from the response header in full, else the one the data notices
    // announced (urlmon's 32-bit count, so only the low bits are known); nullopt when unknown.
    std::optional<uint64_t> BodyLength() const { return bodyLength_; }
    std::optional<ULONG> AnnouncedLength() const {
        return announced_ == 0 ? std::nullopt : std::optional<ULONG>(announced_);
    }
    // True when the request was redirected more than kMaxRedirects times and therefore stopped.
    bool TooManyRedirects() const { return tooManyRedirects_; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusCallback)) {
            *object = static_cast<::IBindStatusCallback*>(this);
        } else if (IsEqualIID(iid, IID_IHttpNegotiate)) {
            *object = static_cast<IHttpNegotiate*>(this);
        } else if (IsEqualIID(iid, IID_IAuthenticate)) {
            *object = static_cast<IAuthenticate*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return references_.fetch_add(1) + 1; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = references_.fetch_sub(1) - 1;
        if (left == 0) delete this;
        return left;
    }

    // IBindStatusCallback
    STDMETHODIMP OnStartBinding(DWORD, ::IBinding* binding) override {
        if (abortWindow_) abortWindow_->SetBinding(binding);
        return S_OK;
    }
    STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnLowResource(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR statusText) override {
        if (!callback_ || tooManyRedirects_ || (binding_ && binding_->Aborted())) return E_ABORT;
        // Redirects are counted by both notices urlmon may send for them: its own report of a
        // hop (real Windows), and a request sent after the first one (wine reports only that).
        // Only requests before the final response count: wine sends the notice again while a
        // long body arrives, and those are no hops.
        if (statusCode == BINDSTATUS_SENDINGREQUEST && !responseSeen_) ++requestsSent_;
        if (statusCode == BINDSTATUS_REDIRECTING) {
            ++redirectsReported_;
            if (statusText) toldAddress_ = statusText;
        }
        if (Hops() > kMaxRedirects) {
            tooManyRedirects_ = true;
            if (abortWindow_) abortWindow_->RequestAbort();
            return E_ABORT;
        }
        if (!responseSeen_ && AnnouncesResponse(statusCode)) {
            responseSeen_ = true;
            if (abortWindow_) bodyLength_ = BodyLengthOf(abortWindow_->UrlmonBinding());
            if (ReportFinalAddress() == E_ABORT) return E_ABORT;
        }
        const bool data = statusCode == BINDSTATUS_BEGINDOWNLOADDATA || statusCode == BINDSTATUS_DOWNLOADINGDATA ||
                          statusCode == BINDSTATUS_ENDDOWNLOADDATA;
        if (!data) return Forward(progress, progressMax, statusCode, statusText ? statusText : L"");
        if (statusCode != BINDSTATUS_BEGINDOWNLOADDATA && progressMax != 0) announced_ = progressMax;
        // The count of bytes read only grows: where its 32 bits wrap, the next 4 GiB begin.
        if (progress < lastProgress_) received_ += uint64_t{1} << 32;
        lastProgress_ = progress;
        if (!bodyLength_) return Forward(progress, progressMax, statusCode, statusText ? statusText : L"");
        return Forward(received_ + progress, *bodyLength_, statusCode, statusText ? statusText : L"");
    }
    STDMETHODIMP OnStopBinding(::HRESULT, LPCWSTR) override { return S_OK; }
    STDMETHODIMP GetBindInfo(DWORD*, BINDINFO* info) override {
        // Only the code page is the caller's; the flags and the rest of the structure stay urlmon's.
        if (info && info->cbSize >= offsetof(BINDINFO, dwCodePage) + sizeof(info->dwCodePage))
            info->dwCodePage = codePage_;
        return S_OK;
    }
    STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
    STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

    // IHttpNegotiate: no extra request headers; the response status is kept, because urlmon
    // may store an error page as if it were the file.
    STDMETHODIMP BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders) override {
        if (additionalHeaders) *additionalHeaders = nullptr;
        return S_OK;
    }
    STDMETHODIMP OnResponse(DWORD status, LPCWSTR, LPCWSTR, LPWSTR* additionalHeaders) override {
        if (additionalHeaders) *additionalHeaders = nullptr;
        httpStatus_ = status;
        return S_OK;
    }

    // IAuthenticate: the proxy URL's credentials, for the proxy's 407 only.
    STDMETHODIMP Authenticate(HWND* window, LPWSTR* user, LPWSTR* password) override {
        if (window) *window = nullptr;
        if (!proxy_) {
            if (user) *user = nullptr;
            if (password) *password = nullptr;
            return E_ACCESSDENIED;
        }
        unsigned status = 0;
        if (abortWindow_) {
            const auto text = HeaderOf(abortWindow_->UrlmonBinding(), HTTP_QUERY_STATUS_CODE);
            if (text) std::from_chars(text->data(), text->data() + text->size(), status);
        }
        return proxy_->Credentials(status, user, password);
    }

private:
    ~BindStatusBridge() = default;

    int Hops() const { return std::max(redirectsReported_, requestsSent_ - 1); }

    ::HRESULT Forward(uint64_t progress, uint64_t progressMax, ULONG statusCode, LPCWSTR statusText) {
        const UrlMoniker::HRESULT answer = callback_->OnProgress(progress, progressMax, statusCode, statusText);
        // Recorded on the binding too: where urlmon ignores the answer and completes the
        // transfer anyway (wine does), the call still ends as aborted and keeps no file.
        if (answer == kE_ABORT && binding_) binding_->Abort();
        if (answer == kE_ABORT || (binding_ && binding_->Aborted())) return E_ABORT;
        return S_OK;
    }

    // The caller learns where a redirected request ended before the body arrives (the address
    // names the digest the file is checked against). urlmon reports each hop on Windows; where
    // it does not (wine) or its last report is not the final address, the report is made here
    // from wininet's record. Without a redirect nothing is reported: the record may spell the
    // requested address differently.
    ::HRESULT ReportFinalAddress() {
        if (Hops() == 0 || !abortWindow_) return S_OK;
        const std::wstring finalAddress = AddressOf(abortWindow_->UrlmonBinding());
        if (finalAddress.empty() || finalAddress == toldAddress_) return S_OK;
        toldAddress_ = finalAddress;
        return Forward(0, 0, BINDSTATUS_REDIRECTING, finalAddress.c_str());
    }

    std::atomic<ULONG> references_{1};
    UrlMoniker::IBindStatusCallback* callback_;
    Binding* binding_;
    AbortWindow* abortWindow_;
    Download::win::UrlmonProxy* proxy_;
    const uint32_t codePage_;
    DWORD httpStatus_ = 0;
    ULONG announced_ = 0;
    std::optional<uint64_t> bodyLength_;
    uint64_t received_ = 0;  // the wrapped part of urlmon's 32-bit count of bytes read
    ULONG lastProgress_ = 0;
    int requestsSent_ = 0;
    int redirectsReported_ = 0;
    bool tooManyRedirects_ = false;
    bool responseSeen_ = false;
    std::wstring toldAddress_;  // the last address the caller knows the request went to
};

// The bridge's reference of the caller, dropped (after detaching) when the call is over.
class BridgeRef {
public:
    explicit BridgeRef(BindStatusBridge* bridge) : bridge_(bridge) {}
    ~BridgeRef() {
        bridge_->Detach();
        bridge_->Release();
    }
    BridgeRef(const BridgeRef&) = delete;
    BridgeRef& operator=(const BridgeRef&) = delete;
    BindStatusBridge* operator->() const { return bridge_; }
    BindStatusBridge* get() const { return bridge_; }

private:
    BindStatusBridge* bridge_;
};

// Removes the part file; true when none is left.
bool DiscardPart(const std::wstring& partPath) {
    if (DeleteFileW(partPath.c_str())) return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A body shorter (or longer) than announced is a broken transfer, not a file, whatever urlmon
// answered: a server that closes the connection early must not pass for a complete package.
// The response header's length is compared in full; without it, urlmon's own count, which
// has 32 bits, against as many bits of the size.
bool MatchesAnnouncedLength(const std::wstring& path, std::optional<uint64_t> bodyLength,
                            std::optional<ULONG> announced) {
    if (!bodyLength && !announced) return true;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    const uint64_t size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    if (bodyLength) return size == *bodyLength;
    return data.nFileSizeLow == *announced;
}

bool IsHttp(const std::wstring& url) {
    const std::wstring lower = Utils::AsciiLower(url.substr(0, 8));
    return lower.rfind(L"http://", 0) == 0 || lower.rfind(L"https://", 0) == 0;
}

}  // namespace

namespace UrlMoniker {

HRESULT URLDownloadToFile(void* caller, const std::wstring& url, const std::wstring& file, uint32_t reserved,
                          IBindStatusCallback* callback) {
    if (!callback || url.empty() || file.empty()) return kE_INVALIDARG;
    Utils::win::ComApartment com;
    if (!com.Usable()) return kE_FAIL;
    LimitStalls();

    // The service writes "<file>.part", which becomes the file only when the transfer is
    // complete and good, so a failed call leaves no target behind.
    const std::wstring partPath = file + L".part";
    if (!DiscardPart(partPath)) return kSTG_E_WRITEFAULT;

    BindInfo info;
    uint32_t flags = 0;
    callback->GetBindInfo(&flags, &info);
    // Set for the process before urlmon connects, held until the call is over.
    Download::win::UrlmonProxy proxy(url);
    AbortWindow abortWindow;
    Binding binding(abortWindow.Handle());
    callback->OnStartBinding(0, &binding);
    BridgeRef bridge(new BindStatusBridge(callback, &binding, &abortWindow, &proxy, info.codePage, url));
    ::HRESULT result = URLDownloadToFileW(static_cast<LPUNKNOWN>(caller), url.c_str(), partPath.c_str(), reserved,
                                          static_cast<::IBindStatusCallback*>(bridge.get()));
    // Later stops find the call over: nothing is sent to a window about to go away.
    binding.ForgetWindow();
    if (binding.Aborted()) {
        result = E_ABORT;
    } else if (bridge->TooManyRedirects()) {
        // Whatever urlmon made of the stop; the same failure as libsoup's on Linux.
        result = kINET_E_DOWNLOAD_FAILURE;
    }
    // An HTTP error status is a failure even when urlmon stored the error page as the file.
    // A failure the server answered with an error status is reported as that status, whatever
    // code urlmon chose for it, so that the caller sees the same value as on Linux.
    const DWORD status = bridge->HttpStatus();
    const bool httpError = IsHttp(url) && status != 0 && (status < 200 || status > 299);
    if (IsHttp(url) && (httpError || FAILED(result))) proxy.LogFailure(status, result);
    if (httpError && result != E_ABORT && (SUCCEEDED(result) || status >= 400))
        result = static_cast<::HRESULT>(kHTTP_E_STATUS_BASE + status);
    if (SUCCEEDED(result) && !MatchesAnnouncedLength(partPath, bridge->BodyLength(), bridge->AnnouncedLength()))
        result = kINET_E_DOWNLOAD_FAILURE;
    if (SUCCEEDED(result)) {
        result = S_OK;
        if (!MoveFileExW(partPath.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            result = kSTG_E_WRITEFAULT;
    }
    // A part file that cannot be removed is harmless: the next call removes it before it writes.
    if (result != S_OK && !DiscardPart(partPath)) QLOG(L"part file kept: %lu\r\n", GetLastError());
    callback->OnStopBinding(static_cast<HRESULT>(result), L"");
    return static_cast<HRESULT>(result);
}

}  // namespace UrlMoniker
