#include "toolkit/Control.h"

#include "utils/WindowsApi_win32.h"

#include "toolkit/Win32AccessibleElement_win32.h"
#include "toolkit/Win32AccessibleRoot_win32.h"
#include "toolkit/Win32Accessible_win32.h"

namespace Toolkit {
namespace {

HRESULT HandElement(Win32AccessibleElement* element, IRawElementProviderFragment** out) {
    *out = element ? element->Fragment() : nullptr;
    if (*out) (*out)->AddRef();
    return S_OK;
}

}  // namespace

std::atomic<int> Win32AccessibleRoot::live_{0};

Win32AccessibleRoot::Win32AccessibleRoot(Win32Accessibility& tree) : thread_(GetCurrentThreadId()), tree_(&tree) {
    ++live_;
}

Win32AccessibleRoot::~Win32AccessibleRoot() { --live_; }

void Win32AccessibleRoot::Forget() { tree_ = nullptr; }

HRESULT Win32AccessibleRoot::Usable() const {
    if (GetCurrentThreadId() != thread_) return RPC_E_WRONG_THREAD;
    return tree_ && tree_->Window() ? S_OK : static_cast<HRESULT>(UIA_E_ELEMENTNOTAVAILABLE);
}

// ---- IUnknown ----

HRESULT Win32AccessibleRoot::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IRawElementProviderSimple)) *out = Simple();
    else if (riid == __uuidof(IRawElementProviderFragment)) *out = Fragment();
    else if (riid == __uuidof(IRawElementProviderFragmentRoot)) *out = FragmentRoot();
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG Win32AccessibleRoot::AddRef() { return ++refs_; }

ULONG Win32AccessibleRoot::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

// ---- IRawElementProviderSimple ----

HRESULT Win32AccessibleRoot::get_ProviderOptions(enum ProviderOptions* options) {
    if (!options) return E_POINTER;
    *options = static_cast<enum ProviderOptions>(ProviderOptions_ServerSideProvider | ProviderOptions_UseComThreading);
    return S_OK;
}

HRESULT Win32AccessibleRoot::GetPatternProvider(PATTERNID, IUnknown** out) {
    if (!out) return E_POINTER;
    *out = nullptr;  // the host provider has the window pattern
    return Usable();
}

HRESULT Win32AccessibleRoot::GetPropertyValue(PROPERTYID, VARIANT* out) {
    if (!out) return E_POINTER;
    out->vt = VT_EMPTY;  // the host provider's: a window named by its title
    return Usable();
}

HRESULT Win32AccessibleRoot::get_HostRawElementProvider(IRawElementProviderSimple** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    const auto& host = tree_->Api().hostProviderFromHwnd;
    return host ? host(tree_->Window(), out) : S_OK;
}

// ---- IRawElementProviderFragment ----

HRESULT Win32AccessibleRoot::Navigate(enum NavigateDirection direction, IRawElementProviderFragment** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    // Parent and siblings are the host provider's (the desktop and other windows).
    if (direction != NavigateDirection_FirstChild && direction != NavigateDirection_LastChild) return S_OK;
    const auto controls = tree_->TopLevelControls();
    if (controls.empty()) return S_OK;
    CControlUI* child = direction == NavigateDirection_FirstChild ? controls.front() : controls.back();
    return HandElement(tree_->ElementOf(child), out);
}

HRESULT Win32AccessibleRoot::GetRuntimeId(SAFEARRAY** out) {
    if (!out) return E_POINTER;
    *out = nullptr;  // the host provider's, from the window handle
    return Usable();
}

HRESULT Win32AccessibleRoot::get_BoundingRectangle(struct UiaRect* out) {
    if (!out) return E_POINTER;
    *out = UiaRect{0, 0, 0, 0};  // the host provider's: the window's rectangle
    return Usable();
}

HRESULT Win32AccessibleRoot::GetEmbeddedFragmentRoots(SAFEARRAY** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Usable();
}

HRESULT Win32AccessibleRoot::SetFocus() { return Usable(); }  // the window's activation is the host's

HRESULT Win32AccessibleRoot::get_FragmentRoot(IRawElementProviderFragmentRoot** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    *out = FragmentRoot();
    AddRef();
    return S_OK;
}

// ---- IRawElementProviderFragmentRoot ----

HRESULT Win32AccessibleRoot::ElementProviderFromPoint(double x, double y, IRawElementProviderFragment** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    CControlUI* control = tree_->ControlAtScreen(x, y);
    return HandElement(control ? tree_->ElementOf(control) : nullptr, out);  // null: the window itself
}

HRESULT Win32AccessibleRoot::GetFocus(IRawElementProviderFragment** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    CControlUI* focus = tree_->FocusedControl();
    return HandElement(focus && focus->IsReallyVisible() ? tree_->ElementOf(focus) : nullptr, out);
}

}  // namespace Toolkit
