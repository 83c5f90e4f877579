#include "install/InstallFolderCheck.h"

#include <cwctype>
#include <vector>

#include "install/InstallFiles.h"
#include "utils/Folders.h"
#include "install/FolderAccess_win32.h"
#include "install/WinSupport_win32.h"
#include <aclapi.h>

namespace InstallFolderCheck {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Length of the part of an absolute path that names its volume, separator included: 3 for
// "C:\...", up to the separator after the share for "\\server\share\...". 0 for anything
// else, device and verbatim paths ("\\?\", "\\.\") included: they skip the system's name
// rules and the path-length limit.
size_t RootLength(const std::wstring& path) {
    if (path.size() >= 3 && std::iswalpha(path[0]) && path[0] < 0x80 && path[1] == L':' && IsSeparator(path[2]))
        return 3;
    if (path.size() < 5 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return 0;
    if (path[2] == L'?' || path[2] == L'.') return 0;
    const size_t server = path.find_first_of(L"\\/", 2);
    if (server == std::wstring::npos || server == 2 || server + 1 >= path.size()) return 0;
    const size_t share = path.find_first_of(L"\\/", server + 1);
    if (share == server + 1) return 0;
    return share == std::wstring::npos ? path.size() : share + 1;
}

// The components after the root ("C:\a\b" gives "a", "b").
std::vector<std::wstring> Components(const std::wstring& folder, size_t root) {
    std::vector<std::wstring> parts;
    size_t start = root;
    while (start < folder.size()) {
        const size_t slash = folder.find_first_of(L"\\/", start);
        const size_t end = slash == std::wstring::npos ? folder.size() : slash;
        if (end > start) parts.push_back(folder.substr(start, end - start));
        if (slash == std::wstring::npos) break;
        start = slash + 1;
    }
    return parts;
}

// CON, PRN, AUX, NUL, COM1..9, LPT1..9, also with an extension ("nul.txt"): the system opens
// the device instead of a folder of that name.
bool IsDeviceName(const std::wstring& component) {
    std::wstring base = component.substr(0, component.find(L'.'));
    for (wchar_t& c : base) c = static_cast<wchar_t>(std::towupper(c));
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL") return true;
    return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           base[3] >= L'1' && base[3] <= L'9';
}

std::wstring JudgeFolder(const std::wstring& path, FolderAccess::Role role, const std::vector<BYTE>& user) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = ::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                                nullptr, &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) return L"cannot inspect " + path + L": " + InstallWin::ErrorText(error);
    const InstallWin::UniqueLocal<void> owned(descriptor);
    const std::wstring problem = FolderAccess::Judge(owner, dacl, role, user);
    return problem.empty() ? problem : problem + L": " + path;
}

// A link (junction or symbolic link) on the way is only as safe as its owner and its target;
// the target is judged by the caller, through the link.
std::wstring JudgeLink(const std::wstring& path, const std::vector<BYTE>& user) {
    const InstallWin::UniqueHandle link = InstallWin::AdoptHandle(
        ::CreateFileW(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!link) return L"cannot inspect " + path + L": " + InstallWin::ErrorText(::GetLastError());
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = ::GetSecurityInfo(link.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                          nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) return L"cannot inspect " + path + L": " + InstallWin::ErrorText(error);
    const InstallWin::UniqueLocal<void> owned(descriptor);
    return owner && FolderAccess::Trusted(owner, user) ? L"" : L"a link owned by another user: " + path;
}

}  // namespace

std::wstring NameProblem(const std::wstring& folder) {
    if (folder.empty()) return L"no folder given";
    const size_t root = RootLength(folder);
    if (root == 0) return L"the folder is not an absolute path";
    for (size_t i = 0; i < folder.size(); ++i) {
        const wchar_t c = folder[i];
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return L"the folder name holds a control character";
        if (c == L'"') return L"the folder name holds a double quote";
        if (i >= root && (c == L'<' || c == L'>' || c == L'|' || c == L'?' || c == L'*' || c == L':'))
            return std::wstring(L"the folder name holds a character Windows does not allow in names: ") + c;
    }
    for (const auto& part : Components(folder, root)) {
        if (part.front() == L' ' || part.back() == L' ')
            return L"a folder name starts or ends with a blank: \"" + part + L"\"";
        // The system drops a final dot: the folder made would not be the one recorded.
        if (part.back() == L'.' && part != L"." && part != L"..")
            return L"a folder name ends with a dot: \"" + part + L"\"";
        if (IsDeviceName(part)) return L"a folder name is a device name: \"" + part + L"\"";
    }
    return {};
}

std::wstring OwnershipProblem(const std::wstring& folder, Trust trust) {
    const size_t root = RootLength(folder);
    if (root == 0) return L"the folder is not an absolute path";
    const std::vector<BYTE> user = trust == Trust::kCurrentUser ? InstallWin::CurrentUserSid() : std::vector<BYTE>();
    if (trust == Trust::kCurrentUser && user.empty()) return L"cannot tell which user this process runs as";

    // The folder and every folder above it, innermost first, the root last.
    std::vector<std::wstring> chain;
    std::wstring path = folder.substr(0, root);
    chain.push_back(path);
    for (const auto& part : Components(folder, root)) {
        path = InstallFiles::JoinPath(path, part);
        chain.push_back(path);
    }
    bool existingSeen = false;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const DWORD attributes = ::GetFileAttributesW(it->c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) continue;
            return L"cannot inspect " + *it + L": " + InstallWin::ErrorText(error);
        }
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return L"not a folder: " + *it;
        using FolderAccess::Role;
        const Role role = it == chain.rbegin() ? Role::kTarget : existingSeen ? Role::kAncestor : Role::kNearestAncestor;
        existingSeen = true;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            if (std::wstring problem = JudgeLink(*it, user); !problem.empty()) return problem;
        }
        if (std::wstring problem = JudgeFolder(*it, role, user); !problem.empty()) return problem;
    }
    return {};
}

std::wstring CreateProblem(const std::wstring& folder) {
    if (folder.size() > Utils::kMaxPathChars) return L"the folder has more than 260 characters";
    const size_t root = RootLength(folder);
    if (root == 0) return L"the folder is not an absolute path";
    std::wstring path = folder.substr(0, root);
    for (const auto& part : Components(folder, root)) {
        path = InstallFiles::JoinPath(path, part);
        // A new folder takes its access list over from the folder above: the system's way to
        // give it the rights its place calls for.
        if (::CreateDirectoryW(path.c_str(), nullptr)) continue;
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS) return L"cannot create " + path + L": " + InstallWin::ErrorText(error);
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return L"not a folder: " + path;
    }
    return {};
}

std::wstring WriteProblem(const std::wstring& folder) {
    // A hidden file that the system removes when its handle closes: nothing is left behind,
    // whatever happens to this process.
    const std::wstring base =
        InstallFiles::JoinPath(folder, L".qv-write-probe." + std::to_wstring(::GetCurrentProcessId()) + L".");
    DWORD error = ERROR_FILE_EXISTS;
    for (unsigned attempt = 0; attempt < 16 && error == ERROR_FILE_EXISTS; ++attempt) {
        const std::wstring probe = base + std::to_wstring(::GetTickCount() + attempt);
        const InstallWin::UniqueHandle file = InstallWin::AdoptHandle(::CreateFileW(
            probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (file) return {};
        error = ::GetLastError();
    }
    return L"cannot write into " + folder + L": " + InstallWin::ErrorText(error);
}

}  // namespace InstallFolderCheck
