// compressor.exe is a GUI program, so the installer starting it opens no console window. A GUI
// program gets no console of its own, though: started from a console for its command-line
// forms (compressor.exe FILE, -d, --version) without redirection it has no standard output or
// error, and its messages would be lost. Before main runs, such a start joins the console it
// was started from and writes there; streams it was given (pipes, files) are kept as they are,
// and the window form leaves the console alone.
#include "tools/sample-package/SampleSystem.h"
#include "utils/WindowsApi_win32.h"

namespace sample {

namespace {

bool HasHandle(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// The joined console's output as standard handle `which`. The handle is the process's for its
// whole life, as any standard handle is.
void UseConsoleOutput(DWORD which) {
    const HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) return;
    if (!::SetStdHandle(which, console)) ::CloseHandle(console);
}

struct ParentConsole {
    ParentConsole() {
        if (Arguments(0, nullptr).empty()) return;  // the window
        const bool needOutput = !HasHandle(STD_OUTPUT_HANDLE);
        const bool needError = !HasHandle(STD_ERROR_HANDLE);
        if (!needOutput && !needError) return;
        if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;  // not started from a console
        if (needOutput) UseConsoleOutput(STD_OUTPUT_HANDLE);
        if (needError) UseConsoleOutput(STD_ERROR_HANDLE);
    }
};

const ParentConsole parentConsole;

}  // namespace

}  // namespace sample
