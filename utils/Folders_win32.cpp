// Folder services on Windows. Access rules come from the parent folder as the system applies
// them: the user's temporary folder is private to the user, so the private folder made in it
// is too, and the `mode` of the shared header has no meaning here.
#include "utils/Folders.h"

#include <climits>

#include "utils/Log.h"
#include "utils/PathText.h"
#include "utils/SpecialFolders.h"
#include "utils/WindowsApi_win32.h"

namespace Utils {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A real folder: not a file, and not a junction or link that could lead elsewhere.
bool IsRealFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// CreateDirectoryW that accepts an existing folder (a drive root or a share included, which
// refuse creation with other errors than "exists").
bool EnsureFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (CreateDirectoryW(path.c_str(), nullptr)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
        const DWORD now = GetFileAttributesW(path.c_str());
        return now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_DIRECTORY);
    }
    return false;
}

// Where the walk starts: past "C:\", "\\server\share\" or "\\?\C:\", which are not created.
size_t RootLength(const std::wstring& p) {
    if (p.size() >= 4 && p.compare(0, 4, L"\\\\?\\") == 0) {
        const size_t afterPrefix = 4;
        if (p.size() >= afterPrefix + 2 && p[afterPrefix + 1] == L':') return std::min(p.size(), afterPrefix + 3);
        return afterPrefix;
    }
    if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
        // \\server\share\ : two components after the leading pair.
        size_t i = 2;
        for (int component = 0; component < 2 && i < p.size(); ++component) {
            while (i < p.size() && !IsSeparator(p[i])) ++i;
            if (i < p.size()) ++i;
        }
        return i;
    }
    if (p.size() >= 2 && p[1] == L':') return (p.size() >= 3 && IsSeparator(p[2])) ? 3 : 2;
    if (!p.empty() && IsSeparator(p[0])) return 1;
    return 0;
}

}  // namespace

std::wstring GetTempFolder() {
    const std::filesystem::path root = TempRoot();
    if (root.empty()) return {};
    const std::wstring folder = (root / kPrivateTempName).native();
    if (!IsRealFolder(folder)) {
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            QLOG(L"GetTempFolder CreateDirectory FAIL code=%ld\r\n", static_cast<long>(GetLastError()));
            return {};
        }
        // Checked again: a file, a junction or a link may have been planted at the name.
        if (!IsRealFolder(folder)) {
            QLOG(L"GetTempFolder refused %s\r\n", folder.c_str());
            return {};
        }
    }
    return folder + L"\\";
}

bool CreateFolders(const std::filesystem::path& path, unsigned) {
    const std::wstring p = path.native();
    // Every prefix ending in a separator, then the whole path when text follows the last one.
    for (size_t i = RootLength(p); i < p.size(); ++i) {
        if (!IsSeparator(p[i]) || IsSeparator(p[i - 1])) continue;
        if (!EnsureFolder(p.substr(0, i))) return false;
    }
    if (!p.empty() && !IsSeparator(p.back()) && p.size() > RootLength(p) && !EnsureFolder(p)) return false;
    return true;
}

bool CreateDirectories(const std::wstring& path, unsigned mode) {
    if (path.size() > kMaxPathChars) return false;
    return CreateFolders(PathFromWide(path), mode);
}

bool SameFolderName(const std::wstring& a, const std::wstring& b) {
    if (a.size() > INT_MAX || b.size() > INT_MAX) return false;
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace Utils
