#include "utils/WindowsApi_win32.h"

#include "toolkit/Win32AccessibleApi_win32.h"
#include "utils/SystemFunction_win32.h"

namespace Toolkit {
namespace {

// The core's functions use the system's calling convention (stdcall on x86), which the
// members' signatures do not carry: each is called through a pointer of that convention. The
// core stays loaded until the process ends (the lookup keeps it): it holds references to
// providers and may call them until the last window is gone.
template <typename Signature>
struct CoreCall;
template <typename R, typename... Args>
struct CoreCall<R(Args...)> {
    static std::function<R(Args...)> Find(const char* name) {
        using Pointer = R(WINAPI*)(Args...);
        const auto fn = Utils::win::SystemFunction<Pointer>(L"uiautomationcore.dll", name);
        if (!fn) return {};
        return [fn](Args... args) { return fn(args...); };
    }
};

template <typename Signature>
std::function<Signature> Wrap(const char* name) {
    return CoreCall<Signature>::Find(name);
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
