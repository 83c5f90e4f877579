#include "utils/WindowsApi_win32.h"

#include "toolkit/Win32AccessibleApi_win32.h"
#include "utils/WinResource_win32.h"

namespace Toolkit {
namespace {

using Module = Utils::win::UniqueFree<HINSTANCE__, FreeLibrary>;

// The core stays loaded until the process ends: it holds references to providers and may call
// them until the last window is gone.
HMODULE Core() {
    static const Module core(LoadLibraryExW(L"uiautomationcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    return core.get();
}

// The functions are WINAPI (__stdcall), on 32-bit x86 a calling convention of its own: each is
// called through a pointer of that convention, behind the portable signature Fn.
template <typename Fn>
struct Wrapper;

template <typename R, typename... Args>
struct Wrapper<R(Args...)> {
    static std::function<R(Args...)> Find(const char* name) {
        using Pointer = R(WINAPI*)(Args...);
        HMODULE core = Core();
        const auto fn = core ? reinterpret_cast<Pointer>(reinterpret_cast<void*>(GetProcAddress(core, name))) : nullptr;
        if (!fn) return {};
        return [fn](Args... args) { return fn(args...); };
    }
};

template <typename Fn>
std::function<Fn> Wrap(const char* name) {
    return Wrapper<Fn>::Find(name);
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
