#include <memory>
#include <vector>

#include "toolkit/AccessibleTree.h"
#include "toolkit/Control.h"

#include "utils/WindowsApi_win32.h"

#include "toolkit/Win32AccessibleElement_win32.h"
#include "toolkit/Win32AccessibleRoot_win32.h"
#include "toolkit/Win32Accessible_win32.h"

namespace Toolkit {
namespace {

int ControlTypeOf(AccessibleRole role) {
    switch (role) {
        case AccessibleRole::Label: return UIA_TextControlTypeId;
        case AccessibleRole::PushButton: return UIA_ButtonControlTypeId;
        case AccessibleRole::CheckBox: return UIA_CheckBoxControlTypeId;
        case AccessibleRole::ComboBox: return UIA_ComboBoxControlTypeId;
        case AccessibleRole::ProgressBar: return UIA_ProgressBarControlTypeId;
        case AccessibleRole::TextEntry: return UIA_EditControlTypeId;
        case AccessibleRole::PageTabList: return UIA_TabControlTypeId;
        case AccessibleRole::Image: return UIA_ImageControlTypeId;
        case AccessibleRole::Panel:
        case AccessibleRole::Filler: break;
    }
    return UIA_PaneControlTypeId;
}

void SetBool(VARIANT* v, bool value) {
    v->vt = VT_BOOL;
    v->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

HRESULT SetString(VARIANT* v, const std::wstring& text) {
    BSTR s = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!s) return E_OUTOFMEMORY;
    v->vt = VT_BSTR;
    v->bstrVal = s;
    return S_OK;
}

// A client's out parameter: an element with a reference of its own, or null.
template <typename I>
HRESULT Hand(I* element, I** out) {
    if (element) element->AddRef();
    *out = element;
    return S_OK;
}

}  // namespace

std::atomic<int> Win32AccessibleElement::live_{0};

Win32AccessibleElement::Win32AccessibleElement(Win32Accessibility& tree, CControlUI* control, int runtimeId)
    : thread_(GetCurrentThreadId()), tree_(&tree), control_(control), runtimeId_(runtimeId) {
    ++live_;
}

Win32AccessibleElement::~Win32AccessibleElement() { --live_; }

void Win32AccessibleElement::Forget() {
    tree_ = nullptr;
    control_ = nullptr;
}

HRESULT Win32AccessibleElement::Usable() const {
    if (GetCurrentThreadId() != thread_) return RPC_E_WRONG_THREAD;
    return tree_ && control_ ? S_OK : static_cast<HRESULT>(UIA_E_ELEMENTNOTAVAILABLE);
}

// Check boxes are toggled, not invoked: a client offering both would let the user pick the
// one that reads no state back.
bool Win32AccessibleElement::Invokable() const {
    return control_->HasClickAction() && control_->GetAccessibleRole() != AccessibleRole::CheckBox;
}

bool Win32AccessibleElement::Toggleable() const {
    return control_->GetAccessibleRole() == AccessibleRole::CheckBox;
}

bool Win32AccessibleElement::HasRange() const {
    double minimum, maximum, current;
    return control_->GetAccessibleValue(minimum, maximum, current);
}

// ---- IUnknown ----

HRESULT Win32AccessibleElement::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IRawElementProviderSimple)) *out = Simple();
    else if (riid == __uuidof(IRawElementProviderFragment)) *out = Fragment();
    // The pattern interfaces only where GetPatternProvider offers them (and only while the
    // control is there to say which it offers).
    else if (Usable() == S_OK) {
        if (riid == __uuidof(IInvokeProvider) && Invokable()) *out = static_cast<IInvokeProvider*>(this);
        else if (riid == __uuidof(IToggleProvider) && Toggleable()) *out = static_cast<IToggleProvider*>(this);
        else if (riid == __uuidof(IRangeValueProvider) && HasRange()) *out = static_cast<IRangeValueProvider*>(this);
    }
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG Win32AccessibleElement::AddRef() { return ++refs_; }

ULONG Win32AccessibleElement::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

// ---- IRawElementProviderSimple ----

HRESULT Win32AccessibleElement::get_ProviderOptions(enum ProviderOptions* options) {
    if (!options) return E_POINTER;
    *options = static_cast<enum ProviderOptions>(ProviderOptions_ServerSideProvider | ProviderOptions_UseComThreading);
    return S_OK;
}

HRESULT Win32AccessibleElement::GetPatternProvider(PATTERNID pattern, IUnknown** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    IUnknown* provider = nullptr;
    if (pattern == UIA_InvokePatternId && Invokable()) provider = static_cast<IInvokeProvider*>(this);
    else if (pattern == UIA_TogglePatternId && Toggleable()) provider = static_cast<IToggleProvider*>(this);
    else if (pattern == UIA_RangeValuePatternId && HasRange()) provider = static_cast<IRangeValueProvider*>(this);
    return Hand(provider, out);
}

HRESULT Win32AccessibleElement::GetPropertyValue(PROPERTYID property, VARIANT* out) {
    if (!out) return E_POINTER;
    out->vt = VT_EMPTY;
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    // Spacers never reach a client (AccessibleTree.h); a filler that does (one made
    // interactive) is still no part of the control view a screen reader walks.
    const bool filler = control_->GetAccessibleRole() == AccessibleRole::Filler;
    switch (property) {
        case UIA_ControlTypePropertyId:
            out->vt = VT_I4;
            out->lVal = ControlTypeOf(control_->GetAccessibleRole());
            return S_OK;
        case UIA_NamePropertyId: return SetString(out, control_->GetAccessibleName());
        case UIA_AutomationIdPropertyId:
            return control_->GetName().empty() ? S_OK : SetString(out, control_->GetName());
        case UIA_IsEnabledPropertyId: SetBool(out, control_->IsEnabled()); return S_OK;
        case UIA_IsKeyboardFocusablePropertyId: SetBool(out, control_->IsFocusable()); return S_OK;
        case UIA_HasKeyboardFocusPropertyId: SetBool(out, control_->IsFocused()); return S_OK;
        case UIA_IsOffscreenPropertyId:
            SetBool(out, !control_->IsReallyVisible() || !tree_->WindowShown());
            return S_OK;
        case UIA_IsControlElementPropertyId:
        case UIA_IsContentElementPropertyId: SetBool(out, !filler); return S_OK;
        default: return S_OK;  // empty: the core's default
    }
}

HRESULT Win32AccessibleElement::get_HostRawElementProvider(IRawElementProviderSimple** out) {
    if (!out) return E_POINTER;
    *out = nullptr;  // no window of its own
    return S_OK;
}

// ---- IRawElementProviderFragment ----

HRESULT Win32AccessibleElement::Navigate(enum NavigateDirection direction, IRawElementProviderFragment** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    CControlUI* parent = AccessibleParent(*control_);
    switch (direction) {
        case NavigateDirection_Parent:
            if (!parent) return Hand(tree_->Root()->Fragment(), out);
            return Hand(tree_->ElementOf(parent)->Fragment(), out);
        case NavigateDirection_NextSibling:
        case NavigateDirection_PreviousSibling: {
            const auto siblings = parent ? Win32Accessibility::ExposedChildren(parent) : tree_->TopLevelControls();
            for (size_t i = 0; i < siblings.size(); ++i) {
                if (siblings[i] != control_) continue;
                const bool next = direction == NavigateDirection_NextSibling;
                if (next && i + 1 < siblings.size()) return Hand(tree_->ElementOf(siblings[i + 1])->Fragment(), out);
                if (!next && i > 0) return Hand(tree_->ElementOf(siblings[i - 1])->Fragment(), out);
                break;
            }
            return S_OK;
        }
        case NavigateDirection_FirstChild:
        case NavigateDirection_LastChild: {
            const auto children = Win32Accessibility::ExposedChildren(control_);
            if (children.empty()) return S_OK;
            CControlUI* child = direction == NavigateDirection_FirstChild ? children.front() : children.back();
            return Hand(tree_->ElementOf(child)->Fragment(), out);
        }
    }
    return S_OK;
}

HRESULT Win32AccessibleElement::GetRuntimeId(SAFEARRAY** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    // Unique within the window; the core prefixes the window's own id.
    SAFEARRAY* ids = SafeArrayCreateVector(VT_I4, 0, 2);
    if (!ids) return E_OUTOFMEMORY;
    const LONG values[2] = {UiaAppendRuntimeId, runtimeId_};
    for (LONG i = 0; i < 2; ++i) {
        const HRESULT hr = SafeArrayPutElement(ids, &i, const_cast<LONG*>(&values[i]));
        if (FAILED(hr)) {
            SafeArrayDestroy(ids);
            return hr;
        }
    }
    *out = ids;
    return S_OK;
}

HRESULT Win32AccessibleElement::get_BoundingRectangle(struct UiaRect* out) {
    if (!out) return E_POINTER;
    *out = UiaRect{0, 0, 0, 0};
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    if (!control_->IsReallyVisible() || !tree_->WindowShown()) return S_OK;  // empty: not on screen
    const Rect r = tree_->ScreenPixelsOf(control_->GetPos());
    *out = UiaRect{static_cast<double>(r.left), static_cast<double>(r.top), static_cast<double>(r.Width()),
                   static_cast<double>(r.Height())};
    return S_OK;
}

HRESULT Win32AccessibleElement::GetEmbeddedFragmentRoots(SAFEARRAY** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Usable();
}

HRESULT Win32AccessibleElement::SetFocus() {
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    if (!control_->IsFocusable() || !control_->IsEnabled() || !control_->IsReallyVisible())
        return static_cast<HRESULT>(UIA_E_ELEMENTNOTENABLED);
    control_->SetFocus();
    return S_OK;
}

HRESULT Win32AccessibleElement::get_FragmentRoot(IRawElementProviderFragmentRoot** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    return Hand(tree_->Root()->FragmentRoot(), out);
}

// ---- actions ----

HRESULT Win32AccessibleElement::PostActivate(bool raiseInvoked) {
    if (!control_->IsEnabled() || !control_->IsReallyVisible()) return static_cast<HRESULT>(UIA_E_ELEMENTNOTENABLED);
    AddRef();  // the queued work's own reference, dropped with it whether it ran or not
    std::shared_ptr<Win32AccessibleElement> self(this, [](Win32AccessibleElement* e) { e->Release(); });
    tree_->Post([self, raiseInvoked] {
        Win32AccessibleElement& me = *self;
        if (me.Usable() != S_OK) return;  // the control went while the work waited
        if (raiseInvoked && me.tree_->Api().raiseAutomationEvent)
            me.tree_->Api().raiseAutomationEvent(me.Simple(), UIA_Invoke_InvokedEventId);
        // May destroy the control and this element's tie to it: nothing of `me` after this.
        me.control_->Activate();
    });
    return S_OK;
}

HRESULT Win32AccessibleElement::Invoke() {
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    if (!Invokable()) return static_cast<HRESULT>(UIA_E_INVALIDOPERATION);
    return PostActivate(true);
}

HRESULT Win32AccessibleElement::Toggle() {
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    if (!Toggleable()) return static_cast<HRESULT>(UIA_E_INVALIDOPERATION);
    return PostActivate(false);
}

HRESULT Win32AccessibleElement::get_ToggleState(enum ToggleState* out) {
    if (!out) return E_POINTER;
    *out = ToggleState_Off;
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    *out = control_->IsChecked() ? ToggleState_On : ToggleState_Off;
    return S_OK;
}

HRESULT Win32AccessibleElement::Range(double* out, int which) {
    if (!out) return E_POINTER;
    *out = 0;
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    double values[3] = {0, 0, 0};  // minimum, maximum, current
    if (!control_->GetAccessibleValue(values[0], values[1], values[2])) return static_cast<HRESULT>(UIA_E_INVALIDOPERATION);
    *out = values[which];
    return S_OK;
}

HRESULT Win32AccessibleElement::SetValue(double) {
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    return static_cast<HRESULT>(UIA_E_INVALIDOPERATION);  // progress is shown, not set
}

HRESULT Win32AccessibleElement::get_Value(double* out) { return Range(out, 2); }
HRESULT Win32AccessibleElement::get_Minimum(double* out) { return Range(out, 0); }
HRESULT Win32AccessibleElement::get_Maximum(double* out) { return Range(out, 1); }

HRESULT Win32AccessibleElement::get_IsReadOnly(BOOL* out) {
    if (!out) return E_POINTER;
    *out = TRUE;
    return Usable();
}

HRESULT Win32AccessibleElement::get_LargeChange(double* out) {
    if (!out) return E_POINTER;
    *out = 0;
    return Usable();
}

HRESULT Win32AccessibleElement::get_SmallChange(double* out) {
    if (!out) return E_POINTER;
    *out = 0;
    return Usable();
}

}  // namespace Toolkit
