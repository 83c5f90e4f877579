#include "utils/ProcessArguments.h"

#include "utils/WindowsApi_win32.h"
#include "utils/WinResource_win32.h"
#include <shellapi.h>

namespace Utils {

std::vector<std::wstring> ProcessArguments() {
    int count = 0;
    const win::UniqueFree<LPWSTR, LocalFree> argv(CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::wstring> args;
    if (!argv) return args;
    for (int i = 0; i < count; ++i) args.emplace_back(argv.get()[i]);
    return args;
}

}  // namespace Utils
