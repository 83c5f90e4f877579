#pragma once
// The UI Automation fragment root of a skinned window (see Win32Accessible_win32.h). The
// system's provider for the window handle (its host provider) supplies the window's name,
// rectangle and runtime id; this adds the control tree below it: the root control as its one
// child, hit testing and the focused element.
//
// Once the window is gone (Forget()) every call answers UIA_E_ELEMENTNOTAVAILABLE; the object
// itself lives on until the last reference is released, on any thread.
//
// Include after "utils/WindowsApi_win32.h".
#include <atomic>

#include "toolkit/Win32AccessibleUia_win32.h"

namespace Toolkit {

class Win32Accessibility;

class Win32AccessibleRoot final : public IRawElementProviderSimple,
                                  public IRawElementProviderFragment,
                                  public IRawElementProviderFragmentRoot {
public:
    // One reference, the caller's.
    explicit Win32AccessibleRoot(Win32Accessibility& tree);
    Win32AccessibleRoot(const Win32AccessibleRoot&) = delete;
    Win32AccessibleRoot& operator=(const Win32AccessibleRoot&) = delete;

    void Forget();
    IRawElementProviderSimple* Simple() { return static_cast<IRawElementProviderSimple*>(this); }
    IRawElementProviderFragment* Fragment() { return static_cast<IRawElementProviderFragment*>(this); }
    IRawElementProviderFragmentRoot* FragmentRoot() { return static_cast<IRawElementProviderFragmentRoot*>(this); }
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

    // IRawElementProviderFragmentRoot (points in physical screen pixels)
    HRESULT STDMETHODCALLTYPE ElementProviderFromPoint(double x, double y, IRawElementProviderFragment** out) override;
    HRESULT STDMETHODCALLTYPE GetFocus(IRawElementProviderFragment** out) override;

private:
    ~Win32AccessibleRoot();
    HRESULT Usable() const;

    static std::atomic<int> live_;
    std::atomic<ULONG> refs_{1};
    const unsigned long thread_;  // the UI thread
    Win32Accessibility* tree_;    // null once forgotten
};

}  // namespace Toolkit
