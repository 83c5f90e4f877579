#pragma once
// The system URL download service: URLDownloadToFile fetches a URL into a file and reports to a
// bind status callback while it works. On Windows urlmon does the work (URLDownloadToFileW); on
// Linux GIO serves "file:" URLs and libsoup-3 serves http(s). No libcurl is involved.
//
// Threads: URLDownloadToFile runs synchronously on the calling thread and calls the callback
// there. IBinding::Abort may be called from any thread while the call runs.
#include <cstdint>
#include <string>

namespace UrlMoniker {

using HRESULT = int32_t;

inline constexpr HRESULT kS_OK = 0;
inline constexpr HRESULT kE_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT kE_ABORT = static_cast<HRESULT>(0x80004004u);
inline constexpr HRESULT kE_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT kE_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT kSTG_E_WRITEFAULT = static_cast<HRESULT>(0x8003001Du);
inline constexpr HRESULT kINET_E_INVALID_URL = static_cast<HRESULT>(0x800C0002u);
inline constexpr HRESULT kINET_E_CANNOT_CONNECT = static_cast<HRESULT>(0x800C0004u);
inline constexpr HRESULT kINET_E_RESOURCE_NOT_FOUND = static_cast<HRESULT>(0x800C0005u);
inline constexpr HRESULT kINET_E_DOWNLOAD_FAILURE = static_cast<HRESULT>(0x800C0008u);
inline constexpr HRESULT kINET_E_CONNECTION_TIMEOUT = static_cast<HRESULT>(0x800C000Bu);
inline constexpr HRESULT kINET_E_SECURITY_PROBLEM = static_cast<HRESULT>(0x800C000Eu);
// The downloaded file does not match the digest its address names.
inline constexpr HRESULT kTRUST_E_BAD_DIGEST = static_cast<HRESULT>(0x80096010u);
// An HTTP error status N is reported as kHTTP_E_STATUS_BASE + N (404 -> 0x80190194).
inline constexpr uint32_t kHTTP_E_STATUS_BASE = 0x80190000u;

// Status codes passed to OnProgress.
enum BindStatus : uint32_t {
    BINDSTATUS_FINDINGRESOURCE = 1,
    BINDSTATUS_CONNECTING = 2,
    BINDSTATUS_REDIRECTING = 3,
    BINDSTATUS_BEGINDOWNLOADDATA = 4,
    BINDSTATUS_DOWNLOADINGDATA = 5,
    BINDSTATUS_ENDDOWNLOADDATA = 6,
};

struct BindInfo {
    uint32_t codePage = 0;  // the code page the callback asks URLs to be read in
};

// The running transfer, handed to OnStartBinding.
class IBinding {
public:
    virtual HRESULT Abort() = 0;

protected:
    ~IBinding() = default;
};

// The bind status callback, its operations in the system interface's slot order. Progress
// values are 64-bit so that files of 4 GiB and more report correctly.
class IBindStatusCallback {
public:
    virtual HRESULT QueryInterface(const void* iid, void** object) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
    virtual HRESULT OnStartBinding(uint32_t reserved, IBinding* binding) = 0;
    virtual HRESULT GetPriority(int32_t* priority) = 0;
    virtual HRESULT OnLowResource(uint32_t reserved) = 0;
    virtual HRESULT OnProgress(uint64_t progress, uint64_t progressMax, uint32_t statusCode,
                               const wchar_t* statusText) = 0;
    virtual HRESULT OnStopBinding(HRESULT result, const wchar_t* error) = 0;
    virtual HRESULT GetBindInfo(uint32_t* flags, BindInfo* info) = 0;
    // The Linux service calls OnDataAvailable(0, n, nullptr, bytes) after storing each piece of
    // n bytes, in file order, starting with a fresh file after OnStartBinding (the callback may
    // hash the body as it is written); urlmon's bridge does not call it with data.
    virtual HRESULT OnDataAvailable(uint32_t flags, uint64_t size, void* format, void* medium) = 0;
    virtual HRESULT OnObjectAvailable(const void* iid, void* object) = 0;
    virtual HRESULT GetBindInfoEx(uint32_t* flags, BindInfo* info, uint32_t* bindFlags2, uint32_t* reserved) = 0;

protected:
    ~IBindStatusCallback() = default;
};

// Fetches `url` into `file`: the bytes go to "<file>.part", which becomes `file` only when the
// transfer is complete, so a failed call leaves no target behind. OnProgress is called as data
// arrives (with a maximum of 0 when the length is unknown); E_ABORT from it stops the transfer.
// When redirects moved the request, OnProgress reports BINDSTATUS_REDIRECTING with the final
// address as its text (maximum 0) before the body arrives.
// An HTTP error status fails the call (kHTTP_E_STATUS_BASE + status) even where the service
// would store the error page. Abort() of the binding takes effect at the next notification
// (Windows) or at once (Linux); a silent server ends the transfer after about 30 seconds.
// Returns kS_OK or a failure code. TLS peers are verified against the system's trust store; on
// Linux a bundle named by CURL_CA_BUNDLE / SSL_CERT_FILE replaces it.
HRESULT URLDownloadToFile(void* caller, const std::wstring& url, const std::wstring& file, uint32_t reserved,
                          IBindStatusCallback* callback);

}  // namespace UrlMoniker
