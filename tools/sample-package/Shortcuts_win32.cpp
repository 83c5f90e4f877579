#include "tools/sample-package/Shortcuts.h"

#include <cwchar>
#include <fstream>
#include <vector>

#include "tools/sample-package/SampleSystem.h"
#include "utils/WindowsApi_win32.h"
#include "utils/WinResource_win32.h"
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
    Utils::win::ComPtr<IShellLinkW> shellLink;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  shellLink.ReceiveVoid())))
        return false;
    if (FAILED(shellLink->SetPath(product.c_str())) || FAILED(shellLink->SetWorkingDirectory(folder.c_str())) ||
        FAILED(shellLink->SetDescription(L"Compress files with zlib")))
        return false;
    Utils::win::ComPtr<IPersistFile> file;
    if (FAILED(shellLink->QueryInterface(IID_IPersistFile, file.ReceiveVoid()))) return false;
    return SUCCEEDED(file->Save(link.c_str(), TRUE));
}

// True when `link` is a plain file (no link of the file system) holding a shell link to `product`.
bool IsOurLink(const fs::path& link, const fs::path& product) {
    const DWORD attributes = ::GetFileAttributesW(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return false;
    Utils::win::ComPtr<IShellLinkW> shellLink;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  shellLink.ReceiveVoid())))
        return false;
    Utils::win::ComPtr<IPersistFile> file;
    if (FAILED(shellLink->QueryInterface(IID_IPersistFile, file.ReceiveVoid())) ||
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
    Utils::win::ComApartment com;
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
    Utils::win::ComApartment com;
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
