#include "app/ProcessHardening.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "utils/WindowsApi_win32.h"

#include "utils/SystemFunction_win32.h"

namespace {

bool HasHandle(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// Points `stream` (and the process's standard handle `which`) at the device `device`
// ("CONOUT$", "CONIN$" or "NUL").
bool Redirect(FILE* stream, DWORD which, const wchar_t* device, const wchar_t* mode) {
    if (!::_wfreopen(device, mode, stream)) return false;
    const intptr_t os = ::_get_osfhandle(::_fileno(stream));
    if (os == -1) return false;
    return ::SetStdHandle(which, reinterpret_cast<HANDLE>(os)) != 0;
}

// The system libraries the installer or the libraries it calls may load later, each taken now
// from the system folder by its full path, so no later lookup by name can find a planted copy
// elsewhere. Missing ones (ws2help.dll is gone from newer systems) are skipped.
void PreloadSystemLibraries() {
    static const wchar_t* const kLibraries[] = {
        L"\\version.dll", L"\\ws2_32.dll", L"\\sxs.dll",     L"\\dwmapi.dll",        L"\\msimg32.dll",
        L"\\d3d8.dll",    L"\\ieframe.dll", L"\\ws2help.dll", L"\\WindowsCodecs.dll",
    };
    wchar_t system[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    for (const wchar_t* name : kLibraries) {
        const std::wstring path = std::wstring(system, length) + name;
        (void)::LoadLibraryW(path.c_str());  // kept for the life of the process
    }
}

}  // namespace

bool OpenClosedStandardDescriptors() {
    bool ok = true;
    if (!HasHandle(STD_INPUT_HANDLE)) ok = Redirect(stdin, STD_INPUT_HANDLE, L"NUL", L"r") && ok;
    const bool needOutput = !HasHandle(STD_OUTPUT_HANDLE);
    const bool needError = !HasHandle(STD_ERROR_HANDLE);
    // A GUI program gets no console of its own. Started from a console it joins that one, even
    // when its output goes to files or pipes: only then do Ctrl+C and the console's closing reach
    // it, so that an unattended install stopped there cleans up as it does on Linux. The console
    // is shared with its owner, who goes on reading its own input meanwhile.
    const bool console = ::AttachConsole(ATTACH_PARENT_PROCESS) != 0;
    if (!needOutput && !needError) return ok;
    const wchar_t* device = console ? L"CONOUT$" : L"NUL";
    if (needOutput) ok = Redirect(stdout, STD_OUTPUT_HANDLE, device, L"w") && ok;
    if (needError) ok = Redirect(stderr, STD_ERROR_HANDLE, device, L"w") && ok;
    return ok;
}

void HardenProcess() {
    // A damaged heap ends the process at once instead of being used on.
    (void)::HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
    // Only the system folder for every later DLL lookup by name; systems without the call (an
    // old Windows 7 without its update) still lose the current folder below.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    if (const auto setDefault =
            Utils::win::SystemFunction<SetDefaultDllDirectoriesFn>(L"kernel32.dll", "SetDefaultDllDirectories"))
        (void)setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    (void)::SetDllDirectoryW(L"");
    PreloadSystemLibraries();
}
