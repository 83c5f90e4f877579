#pragma once
// The calls of the system's UI Automation core that a window's providers make. The real ones
// come from uiautomationcore.dll, loaded from the system folder on first use (mingw-w64 ships
// no import library for it, and a system without it still runs the installer, only without
// screen-reader access); tests put recording functions in their place. A member is empty
// when the system lacks that function; callers skip it then.
//
// Include after "utils/WindowsApi_win32.h".
#include <functional>

#include "toolkit/Win32AccessibleUia_win32.h"

namespace Toolkit {

struct Win32AccessibleApi {
    // The provider the system makes for a window handle (name, frame, window pattern).
    std::function<HRESULT(HWND, IRawElementProviderSimple**)> hostProviderFromHwnd;
    // The answer to WM_GETOBJECT that hands `provider` to the asking client; with all of
    // wParam, lParam and provider zero, tells the core the window's providers are gone.
    std::function<LRESULT(HWND, WPARAM, LPARAM, IRawElementProviderSimple*)> returnRawElementProvider;
    std::function<HRESULT(IRawElementProviderSimple*, EVENTID)> raiseAutomationEvent;
    // Releases the core's references to a provider whose element is gone.
    std::function<HRESULT(IRawElementProviderSimple*)> disconnectProvider;
    // True when some client listens for events (making providers only to raise events to
    // nobody is skipped).
    std::function<BOOL()> clientsAreListening;

    // The system's functions.
    static Win32AccessibleApi System();
};

}  // namespace Toolkit
