#include "utils/WindowsApi_win32.h"

#include "toolkit/Win32AccessibleApi_win32.h"
#include "utils/SystemFunction_win32.h"

namespace Toolkit {
namespace {

// The core stays loaded until the process ends (the lookup keeps it): it holds references to
// providers and may call them until the last window is gone.
template <typename Fn>
Fn* Find(const char* name) {
    return Utils::win::SystemFunction<Fn*>(L"uiautomationcore.dll", name);
}

template <typename Fn>
std::function<Fn> Wrap(const char* name) {
    Fn* fn = Find<Fn>(name);
    return fn ? std::function<Fn>(fn) : std::function<Fn>();
}

}  // namespace

Win32AccessibleApi Win32AccessibleApi::System() {
    Win32AccessibleApi api;
    api.hostProviderFromHwnd = Wrap<HRESULT(HWND, IRawElementProviderSimple**)>("UiaHostProviderFromHwnd");
    api.returnRawElementProvider =
        Wrap<LRESULT(HWND, WPARAM, LPARAM, IRawElementProviderSimple*)>("UiaReturnRawElementProvider");
    api.raiseAutomationEvent = Wrap<HRESULT(IRawElementProviderSimple*, EVENTID)>("UiaRaiseAutomationEvent");
    api.disconnectProvider = Wrap<HRESULT(IRawElementProviderSimple*)>("UiaDisconnectProvider");
    api.clientsAreListening = Wrap<BOOL()>("UiaClientsAreListening");
    return api;
}

}  // namespace Toolkit
