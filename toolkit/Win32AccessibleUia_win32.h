#pragma once
// The parts of the UI Automation provider interface that the skinned window's providers use
// and mingw-w64's headers (version 10) lack: the control-pattern interfaces for buttons, check
// boxes and progress bars, and the identifiers of control types and events. Values and
// interface identifiers are those of the Windows SDK's UIAutomationCore.idl,
// UIAutomationClient.idl and UIAutomationCoreApi.h; the layouts follow the same interface
// definitions. (mingw-w64's UIAutomationCoreApi.h names a parameter "new" and cannot be
// compiled as C++, so its constants are here too.) Include after "utils/WindowsApi_win32.h".
#include <objbase.h>
#include <oleauto.h>
#include <uiautomationclient.h>
#include <uiautomationcore.h>

#ifndef UIA_E_ELEMENTNOTAVAILABLE
#define UIA_E_ELEMENTNOTENABLED 0x80040200
#define UIA_E_ELEMENTNOTAVAILABLE 0x80040201
#define UIA_E_INVALIDOPERATION 0x80131509
#define UiaAppendRuntimeId 3
#define UiaRootObjectId -25
#endif

#ifndef UIA_AutomationFocusChangedEventId
// Control types.
#define UIA_ButtonControlTypeId 50000
#define UIA_CheckBoxControlTypeId 50002
#define UIA_ComboBoxControlTypeId 50003
#define UIA_EditControlTypeId 50004
#define UIA_ImageControlTypeId 50006
#define UIA_ProgressBarControlTypeId 50012
#define UIA_TabControlTypeId 50018
#define UIA_TextControlTypeId 50020
#define UIA_PaneControlTypeId 50033
// Events.
#define UIA_AutomationFocusChangedEventId 20005
#define UIA_Invoke_InvokedEventId 20009
#endif

#ifndef __IInvokeProvider_INTERFACE_DEFINED__
#define __IInvokeProvider_INTERFACE_DEFINED__
enum ToggleState { ToggleState_Off = 0, ToggleState_On = 1, ToggleState_Indeterminate = 2 };

struct IInvokeProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke() = 0;
};
__CRT_UUID_DECL(IInvokeProvider, 0x54fcb24b, 0xe18e, 0x47a2, 0xb4, 0xd3, 0xec, 0xcb, 0xe7, 0x75, 0x99, 0xa2)

struct IToggleProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Toggle() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ToggleState(enum ToggleState* pRetVal) = 0;
};
__CRT_UUID_DECL(IToggleProvider, 0x56d00bd0, 0xc4f4, 0x433c, 0xa8, 0x36, 0x1a, 0x52, 0xa5, 0x7e, 0x08, 0x92)

struct IRangeValueProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetValue(double val) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Value(double* pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Maximum(double* pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Minimum(double* pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LargeChange(double* pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SmallChange(double* pRetVal) = 0;
};
__CRT_UUID_DECL(IRangeValueProvider, 0x36dc7aef, 0x33e6, 0x4691, 0xaf, 0xe1, 0x2b, 0xe7, 0x27, 0x4b, 0x3d, 0x33)
#endif
