#pragma once
// The UI Automation element of one control (see Win32Accessible_win32.h): a fragment below the
// window's root with the control's type, name, rectangle and states, and the control patterns
// its kind has: invoke (buttons), toggle (check boxes), a read-only range value (progress
// bars). Actions do what a click does, but from the UI thread's queue after the call returned:
// a click may open a modal box, whose loop must not run inside the automation core's call.
//
// Once its control is gone (Forget()) every call answers UIA_E_ELEMENTNOTAVAILABLE; the object
// itself lives on until the last reference is released, on any thread.
//
// Include after "utils/WindowsApi_win32.h".
#include <atomic>

#include "toolkit/Win32AccessibleUia_win32.h"

namespace Toolkit {

class CControlUI;
class Win32Accessibility;

class Win32AccessibleElement final : public IRawElementProviderSimple,
                                     public IRawElementProviderFragment,
                                     public IInvokeProvider,
                                     public IToggleProvider,
                                     public IRangeValueProvider {
public:
    // One reference, the caller's.
    Win32AccessibleElement(Win32Accessibility& tree, CControlUI* control, int runtimeId);
    Win32AccessibleElement(const Win32AccessibleElement&) = delete;
    Win32AccessibleElement& operator=(const Win32AccessibleElement&) = delete;

    // The control is gone (or the window): nothing of it is read again.
    void Forget();
    IRawElementProviderSimple* Simple() { return static_cast<IRawElementProviderSimple*>(this); }
    IRawElementProviderFragment* Fragment() { return static_cast<IRawElementProviderFragment*>(this); }
    // Elements alive in the process (tests hold leaks and double releases to it).
    static int Live() { return live_.load(); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IRawElementProviderSimple
    HRESULT STDMETHODCALLTYPE get_ProviderOptions(enum ProviderOptions* options) override;
    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID pattern, IUnknown** out) override;
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID property, VARIANT* out) override;
    HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** out) override;

    // IRawElementProviderFragment
    HRESULT STDMETHODCALLTYPE Navigate(enum NavigateDirection direction, IRawElementProviderFragment** out) override;
    HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY** out) override;
    HRESULT STDMETHODCALLTYPE get_BoundingRectangle(struct UiaRect* out) override;
    HRESULT STDMETHODCALLTYPE GetEmbeddedFragmentRoots(SAFEARRAY** out) override;
    HRESULT STDMETHODCALLTYPE SetFocus() override;
    HRESULT STDMETHODCALLTYPE get_FragmentRoot(IRawElementProviderFragmentRoot** out) override;

    // IInvokeProvider (buttons)
    HRESULT STDMETHODCALLTYPE Invoke() override;
    // IToggleProvider (check boxes)
    HRESULT STDMETHODCALLTYPE Toggle() override;
    HRESULT STDMETHODCALLTYPE get_ToggleState(enum ToggleState* out) override;
    // IRangeValueProvider (progress bars; read-only)
    HRESULT STDMETHODCALLTYPE SetValue(double value) override;
    HRESULT STDMETHODCALLTYPE get_Value(double* out) override;
    HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* out) override;
    HRESULT STDMETHODCALLTYPE get_Maximum(double* out) override;
    HRESULT STDMETHODCALLTYPE get_Minimum(double* out) override;
    HRESULT STDMETHODCALLTYPE get_LargeChange(double* out) override;
    HRESULT STDMETHODCALLTYPE get_SmallChange(double* out) override;

private:
    ~Win32AccessibleElement();
    // S_OK when the call may read the control: on the UI thread, control still there.
    HRESULT Usable() const;
    bool Invokable() const;
    bool Toggleable() const;
    bool HasRange() const;
    // Activates the control from the UI thread's queue (invoke and toggle).
    HRESULT PostActivate(bool raiseInvoked);
    HRESULT Range(double* out, int which);

    static std::atomic<int> live_;
    std::atomic<ULONG> refs_{1};
    const unsigned long thread_;  // the UI thread
    Win32Accessibility* tree_;    // null once forgotten
    CControlUI* control_;         // null once forgotten
    const int runtimeId_;
};

}  // namespace Toolkit
