#include "tools/sample-package/Shortcuts.h"

#include <cwchar>
#include <fstream>
#include <vector>

#include "tools/sample-package/SampleSystem.h"
#include "utils/WindowsApi_win32.h"
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace fs = std::filesystem;

namespace sample {

namespace {

constexpr char kListName[] = "shortcuts.list";
constexpr wchar_t kLinkName[] = L"Quorvex.lnk";
constexpr wchar_t kProductName[] = L"compressor.exe";

// COM for the calling thread while in scope (the shell link objects are apartment objects).
class ComScope {
public:
    ComScope() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    // A thread already in another apartment can use the objects all the same.
    bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

// One released-on-scope-exit COM interface pointer.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (p_) p_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T** Put() { return &p_; }
    void** PutVoid() { return reinterpret_cast<void**>(&p_); }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// A shell folder, or the folder a test named in `overrideVariable`; empty when unknown.
fs::path ShortcutFolder(REFKNOWNFOLDERID id, const wchar_t* overrideVariable) {
    if (const wchar_t* v = ::_wgetenv(overrideVariable); v && *v) return fs::path(v);
    PWSTR path = nullptr;
    const HRESULT hr = ::SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path);
    fs::path folder = SUCCEEDED(hr) && path ? fs::path(path) : fs::path();
    ::CoTaskMemFree(path);
    return folder;
}

fs::path ProductPath(const std::string& installFolder) { return PathFromUtf8(installFolder) / kProductName; }

bool WriteLink(const fs::path& link, const fs::path& product, const fs::path& folder) {
    ComRef<IShellLinkW> shellLink;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  shellLink.PutVoid())))
        return false;
    if (FAILED(shellLink->SetPath(product.c_str())) || FAILED(shellLink->SetWorkingDirectory(folder.c_str())) ||
        FAILED(shellLink->SetDescription(L"Compress files with zlib")))
        return false;
    ComRef<IPersistFile> file;
    if (FAILED(shellLink->QueryInterface(IID_IPersistFile, file.PutVoid()))) return false;
    return SUCCEEDED(file->Save(link.c_str(), TRUE));
}

// True when `link` is a plain file (no link of the file system) holding a shell link to `product`.
bool IsOurLink(const fs::path& link, const fs::path& product) {
    const DWORD attributes = ::GetFileAttributesW(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return false;
    ComRef<IShellLinkW> shellLink;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  shellLink.PutVoid())))
        return false;
    ComRef<IPersistFile> file;
    if (FAILED(shellLink->QueryInterface(IID_IPersistFile, file.PutVoid())) ||
        FAILED(file->Load(link.c_str(), STGM_READ)))
        return false;
    wchar_t target[MAX_PATH] = {};
    if (FAILED(shellLink->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH))) return false;
    return ::CompareStringOrdinal(target, -1, product.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

std::string InstallShortcuts(const std::string& installFolder, bool desktopIcon) {
    std::vector<fs::path> written;
    const fs::path product = ProductPath(installFolder);
    const fs::path folder = PathFromUtf8(installFolder);
    ComScope com;
    if (com.Usable()) {
        std::vector<fs::path> places{ShortcutFolder(FOLDERID_Programs, L"QV_SAMPLE_PROGRAMS_DIR")};
        if (desktopIcon) places.push_back(ShortcutFolder(FOLDERID_Desktop, L"QV_SAMPLE_DESKTOP_DIR"));
        for (const fs::path& place : places) {
            if (place.empty()) continue;
            std::error_code ec;
            fs::create_directories(place, ec);
            const fs::path link = place / kLinkName;
            if (WriteLink(link, product, folder)) written.push_back(link);
        }
    }
    std::ofstream list(folder / kListName, std::ios::binary | std::ios::trunc);
    for (const fs::path& link : written) list << PathToUtf8(link) << "\n";
    return kListName;
}

int RemoveShortcuts(const std::string& installFolder) {
    const fs::path product = ProductPath(installFolder);
    std::ifstream list(PathFromUtf8(installFolder) / kListName, std::ios::binary);
    ComScope com;
    if (!com.Usable()) return 0;
    int removed = 0;
    for (std::string line; std::getline(list, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const fs::path link = PathFromUtf8(line);
        if (IsOurLink(link, product) && ::DeleteFileW(link.c_str())) ++removed;
    }
    return removed;
}

}  // namespace sample
