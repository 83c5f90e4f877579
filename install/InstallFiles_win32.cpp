#include "install/InstallFiles.h"

#include <string>

#include "utils/Log.h"
#include "install/WinSupport_win32.h"
#include <aclapi.h>

namespace InstallFiles {
namespace {

using InstallWin::UniqueHandle;
using InstallWin::UniqueLocal;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A DACL that lets only this user, SYSTEM and the Administrators touch an object, and that
// takes nothing from the folder above: the private copy a program gets before it runs.
class PrivateAcl {
public:
    PrivateAcl() {
        user_ = InstallWin::CurrentUserSid();
        DWORD systemSize = sizeof system_, adminsSize = sizeof admins_;
        if (user_.empty() || !::CreateWellKnownSid(WinLocalSystemSid, nullptr, system_, &systemSize) ||
            !::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins_, &adminsSize))
            return;
        const PSID sids[] = {user_.data(), system_, admins_};
        DWORD size = sizeof(ACL);
        for (const PSID sid : sids) size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(sid);
        buffer_.assign(size, 0);
        const auto acl = reinterpret_cast<PACL>(buffer_.data());
        bool ok = ::InitializeAcl(acl, size, ACL_REVISION) != FALSE;
        for (const PSID sid : sids) ok = ok && ::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid);
        ok = ok && ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
             ::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
             ::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
        if (!ok) buffer_.clear();
    }
    bool Ready() const { return !buffer_.empty(); }
    PACL Acl() { return reinterpret_cast<PACL>(buffer_.data()); }
    // For objects created with this DACL from the start.
    SECURITY_ATTRIBUTES* Attributes() {
        attributes_ = {sizeof attributes_, &descriptor_, FALSE};
        return &attributes_;
    }

private:
    std::vector<BYTE> user_;
    BYTE system_[SECURITY_MAX_SID_SIZE] = {};
    BYTE admins_[SECURITY_MAX_SID_SIZE] = {};
    std::vector<BYTE> buffer_;
    SECURITY_DESCRIPTOR descriptor_ = {};
    SECURITY_ATTRIBUTES attributes_ = {};
};

bool CopyContent(HANDLE in, HANDLE out) {
    char buffer[64 * 1024];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(in, buffer, sizeof buffer, &read, nullptr)) return false;
        if (read == 0) return true;
        for (DWORD done = 0; done < read;) {
            DWORD written = 0;
            if (!::WriteFile(out, buffer + done, read - done, &written, nullptr) || written == 0) return false;
            done += written;
        }
    }
}

// A source the copy may take: a regular file, reached without following a link, that this
// user or one of the system's accounts owns. The copy runs with this process's rights, so a
// file another user could have put there must not become a program we start.
bool AcceptableSource(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) return false;
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS)
        return false;
    const UniqueLocal<void> owned(descriptor);
    return owner && (InstallWin::IsSameSid(owner, InstallWin::CurrentUserSid()) || InstallWin::IsSystemAccount(owner));
}

}  // namespace

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || IsSeparator(folder.back())) return folder + name;
    return folder + L"\\" + name;
}

std::wstring ParentFolder(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return {};
    // The root of a drive keeps its separator ("C:\x" lies in "C:\").
    if (slash == 2 && path[1] == L':') return path.substr(0, 3);
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::wstring Unquote(const std::wstring& path) {
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') return path.substr(1, path.size() - 2);
    return path;
}

std::wstring WithoutTrailingSeparator(std::wstring folder) {
    while (folder.size() > 1 && IsSeparator(folder.back()) && !(folder.size() == 3 && folder[1] == L':'))
        folder.pop_back();
    return folder;
}

bool FileExists(const std::wstring& path) {
    if (path.empty()) return false;
    // Opened (links followed) rather than asked for attributes, which describe a link itself.
    const UniqueHandle file = InstallWin::AdoptHandle(
        ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return file && ::GetFileInformationByHandle(file.get(), &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFileIfExists(const std::wstring& path) {
    if (path.empty()) return true;
    if (::DeleteFileW(path.c_str())) return true;
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
    QLOG(L"DeleteFileW %s failed: %s\r\n", path.c_str(), InstallWin::ErrorText(error).c_str());
    return false;
}

bool MakeOwnerExecutable(const std::wstring& path) {
    PrivateAcl acl;
    const DWORD error = acl.Ready() ? ::SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                                              nullptr, nullptr, acl.Acl(), nullptr)
                                    : ERROR_INVALID_ACL;
    if (error == ERROR_SUCCESS) return true;
    QLOG(L"making %s private failed: %s\r\n", path.c_str(), InstallWin::ErrorText(error).c_str());
    return false;
}

CopyOutcome CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
    if (to.empty()) return CopyOutcome::kTargetFailed;
    // Whatever happens below, an old copy must not survive under the target's name.
    if (!DeleteFileIfExists(to)) return CopyOutcome::kTargetFailed;
    if (from.empty()) return CopyOutcome::kSourceRefused;
    const UniqueHandle in = InstallWin::AdoptHandle(
        ::CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in || !AcceptableSource(in.get())) {
        QLOG(L"%s refused as the source of a copy\r\n", from.c_str());
        return CopyOutcome::kSourceRefused;
    }
    // A new file beside the target, private from its creation on, renamed into place. Whatever
    // stood at its name goes first (a link is removed, not followed).
    const std::wstring temp = to + L".copy-" + std::to_wstring(::GetCurrentProcessId());
    DeleteFileIfExists(temp);
    PrivateAcl acl;
    UniqueHandle out = InstallWin::AdoptHandle(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0,
                                                             acl.Ready() ? acl.Attributes() : nullptr, CREATE_NEW,
                                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out || !acl.Ready()) {
        QLOG(L"creating the copy of %s failed: %s\r\n", to.c_str(), InstallWin::ErrorText(::GetLastError()).c_str());
        if (out) {
            out.reset();
            ::DeleteFileW(temp.c_str());
        }
        return CopyOutcome::kTargetFailed;
    }
    bool ok = CopyContent(in.get(), out.get()) && ::FlushFileBuffers(out.get());
    DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    if (!::CloseHandle(out.release()) && ok) {
        ok = false;
        error = ::GetLastError();
    }
    if (ok && !::MoveFileExW(temp.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = ::GetLastError();
    }
    if (!ok) {
        QLOG(L"copy %s to %s failed: %s\r\n", from.c_str(), to.c_str(), InstallWin::ErrorText(error).c_str());
        ::DeleteFileW(temp.c_str());
        return CopyOutcome::kTargetFailed;
    }
    return CopyOutcome::kCopied;
}

}  // namespace InstallFiles
