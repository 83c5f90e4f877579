#pragma once
// The native text fields of one window on Win32: an EDIT control over every visible control
// that asks for one (ITextPeer), styled with the control's font and colour, following its
// rectangle, and passing text both ways (typing to the control, code to the field).
//
// A layered window shows only the bitmap it is given, never its child windows, so each EDIT
// lives in a small borderless pop-up of its own, owned by the skinned window (above it, hidden
// and minimised with it) and moved with it. The pop-up's background is the colour the
// toolkit painted under the field, so the field reads as part of the window.
//
// Keys typed into a field go to the field, except Tab and Escape, which go to the window's
// toolkit as they would from the window; Enter is offered to the window's message filters
// first. Alt+F4 in a field is the window's close command.
//
// Thread: the user-interface thread.
#include <basetsd.h>

#include <map>
#include <memory>

#include "toolkit/Geometry.h"

struct HWND__;

namespace Toolkit {

class CControlUI;
class ITextPeer;
class Win32WindowHost;

class Win32TextFields {
public:
    explicit Win32TextFields(Win32WindowHost& host);
    ~Win32TextFields();  // destroys the fields' windows
    Win32TextFields(const Win32TextFields&) = delete;
    Win32TextFields& operator=(const Win32TextFields&) = delete;

    // After a layout: fields follow their controls (made, moved, styled, shown or hidden).
    void Sync(CControlUI* root);
    // The window moved, was shown, hidden or resized: the fields' pop-ups follow it.
    void Follow();
    // The window was painted: each field takes the colour now beneath it.
    void Repainted();
    // Gives `control`'s field the keyboard focus; false when it has none.
    bool Focus(CControlUI* control);
    // Code set the control's text: the field shows it without reporting an edit.
    void TextChanged(CControlUI* control);
    // The control is going away (from its base destructor: only the pointer is meaningful).
    void Removed(CControlUI* control);
    // The window is disabled under a modal box: so are its fields.
    void Enable(bool enabled);
    // Forgets every field without destroying it (the system destroyed them with the window).
    void Forget();
    // Whether `hwnd` is one of the fields' windows.
    bool Owns(HWND__* hwnd) const;

private:
    struct Field;
    // Win32's own types (LRESULT and LPARAM are LONG_PTR, a subclass's data DWORD_PTR): on
    // 32-bit Windows they are `long` and `unsigned long`, types of their own beside intptr_t's
    // `int`.
    static LONG_PTR __stdcall FrameProc(HWND__* hwnd, unsigned msg, UINT_PTR wParam, LONG_PTR lParam);
    static LONG_PTR __stdcall EditProc(HWND__* hwnd, unsigned msg, UINT_PTR wParam, LONG_PTR lParam, UINT_PTR id,
                                       DWORD_PTR data);
    Field* FieldFor(CControlUI* control, ITextPeer* peer);
    Field* FindByWindow(HWND__* hwnd);
    void Style(Field& field, ITextPeer* peer);
    void Place(Field& field);

    Win32WindowHost& host_;
    std::map<CControlUI*, std::unique_ptr<Field>> fields_;
    bool settingText_ = false;
    bool enabled_ = true;
    bool dying_ = false;  // in the destructor: the fields' windows report nothing more
};

}  // namespace Toolkit
