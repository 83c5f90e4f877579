#include "ui/windows/DesktopServices.h"

#include "toolkit/Win32WindowHost_win32.h"
#include "toolkit/WindowBase.h"
#include "utils/Log.h"
#include "utils/WindowsApi_win32.h"
#include "utils/WinResource_win32.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace DesktopServices {

namespace {

HWND HandleOf(Toolkit::CWindowBase& window) {
    auto* host = dynamic_cast<Toolkit::Win32WindowHost*>(window.Native());
    return host ? host->Handle() : nullptr;
}

// The shell's verb "open" on `file`, its window shown as `show` says, without the shell's error
// boxes: the caller reports failures.
bool ShellOpen(const std::wstring& file, const std::wstring& folder, int show) {
    Utils::win::ComApartment com;  // the shell may hand the request to a COM handler
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = show;
    if (::ShellExecuteExW(&info)) return true;
    QLOG(L"cannot open %s: %lu\r\n", file.c_str(), ::GetLastError());
    return false;
}

}  // namespace

bool ChooseFolder(Toolkit::CWindowBase& owner, const std::wstring& title, const std::wstring& start,
                  std::wstring& chosen) {
    Utils::win::ComApartment com;
    if (!com.Usable()) return false;
    Utils::win::ComPtr<IFileOpenDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                  dialog.ReceiveVoid()))) {
        QLOG(L"no folder dialog\r\n");
        return false;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    // Only folders of the file system: a library or a device folder has no path to install to.
    if (FAILED(dialog->GetOptions(&options)) ||
        FAILED(dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST)))
        return false;
    dialog->SetTitle(title.c_str());
    if (!start.empty()) {
        Utils::win::ComPtr<IShellItem> folder;
        // A start folder that does not exist (yet) is no error: the dialog starts where it likes.
        if (SUCCEEDED(::SHCreateItemFromParsingName(start.c_str(), nullptr, IID_IShellItem, folder.ReceiveVoid())))
            dialog->SetFolder(folder.Get());
    }
    if (FAILED(dialog->Show(HandleOf(owner)))) return false;  // cancelled, or the dialog failed
    Utils::win::ComPtr<IShellItem> result;
    if (FAILED(dialog->GetResult(result.Receive()))) return false;
    PWSTR path = nullptr;
    if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return false;
    const Utils::win::UniqueFree<wchar_t, ::CoTaskMemFree> owned(path);
    chosen = path;
    return !chosen.empty();
}

void Present(Toolkit::CWindowBase& window) {
    const HWND hwnd = HandleOf(window);
    if (!hwnd) return;
    if (::IsIconic(hwnd)) ::ShowWindow(hwnd, SW_RESTORE);
    // The system may refuse the foreground to a process the user is not working with; the
    // window then flashes in the taskbar instead, which is what the user expects.
    ::SetForegroundWindow(hwnd);
}

bool StartProgram(const std::wstring& executable, const std::wstring& workingFolder) {
    return ShellOpen(executable, workingFolder, SW_SHOWNORMAL);
}

bool OpenUri(const std::wstring& uri) { return ShellOpen(uri, L"", SW_SHOWNORMAL); }

bool OpenStartPage(const std::wstring& uri) { return ShellOpen(uri, L"", SW_SHOWMAXIMIZED); }

void PumpFor(unsigned ms) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    while (!Toolkit::CWindowBase::QuitPending()) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end) return;
        MSG msg;
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
            continue;
        }
        if (msg.message == WM_QUIT) {
            // Kept for the message loop that owns it.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace DesktopServices
