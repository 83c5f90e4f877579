#include "install/ProcessSnapshot.h"

#include <functional>

#include "utils/StringUtils.h"
#include "install/WinSupport_win32.h"
#include <tlhelp32.h>

namespace ProcessSnapshot {
namespace {

// Calls `visit` for every process of a snapshot of the system until it returns true; true
// when one did. A snapshot that cannot be taken shows no process.
bool AnyProcess(const std::function<bool(const PROCESSENTRY32W&)>& visit) {
    const InstallWin::UniqueHandle snapshot = InstallWin::AdoptHandle(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
        if (visit(entry)) return true;
    return false;
}

// File names and paths are compared as the file system compares them: without case.
bool SameName(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The full path of a process's executable; "" when the process cannot be asked (it ended, or
// it belongs to a more privileged account).
std::wstring ImagePathOf(DWORD processId) {
    const InstallWin::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return {};
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!::QueryFullProcessImageNameW(process.get(), 0, path.data(), &size)) return {};
    path.resize(size);
    return path;
}

}  // namespace

bool IsRunning(const std::string& exeFileName) {
    const std::wstring name = Utils::FromUtf8(exeFileName);
    return AnyProcess([&](const PROCESSENTRY32W& entry) { return SameName(entry.szExeFile, name); });
}

bool IsRunningFrom(const std::string& exePath) {
    const std::wstring path = Utils::FromUtf8(exePath);
    const std::wstring name = FileNameOf(path);
    // The snapshot's names sort out most processes before any is opened.
    return AnyProcess([&](const PROCESSENTRY32W& entry) {
        return SameName(entry.szExeFile, name) && SameName(ImagePathOf(entry.th32ProcessID), path);
    });
}

}  // namespace ProcessSnapshot
