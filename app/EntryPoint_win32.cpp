// The Windows entry point. The executable is a GUI program (no console window opens when it is
// started from the desktop); standard streams it inherits (a test's pipes, a redirection) are
// used as they are, and an unattended run started from a console without them writes to that
// console (OpenClosedStandardDescriptors). The toolkit gets only the program name; the
// installer reads its options back from the system's command line.
#include <string>

#include "app/InstallerMain.h"
#include "utils/StringUtils.h"
#include "utils/WindowsApi_win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    std::wstring module(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
        if (length == 0) {
            module.clear();
            break;
        }
        if (length < module.size()) {
            module.resize(length);
            break;
        }
        module.resize(module.size() * 2);  // cut short: ask again with more room
    }
    std::string program = Utils::ToUtf8(module);
    char* argv[] = {program.data(), nullptr};
    return RunInstaller(1, argv);
}
