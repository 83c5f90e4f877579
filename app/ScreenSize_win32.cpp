#include "app/ScreenSize.h"

#include "utils/WindowsApi_win32.h"

Utils::ScreenSize PrimaryMonitorSize() {
    // Both are 0 when the process has no window station to ask (a service).
    return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

void InstallScreenSizeProvider() { Utils::SetScreenSizeProvider(&PrimaryMonitorSize); }
