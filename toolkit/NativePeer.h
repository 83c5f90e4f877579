#pragma once
// What a control can ask of the window's host beyond being painted: a pop-up list (a
// drop-down) and a native text field laid over it (real text input, input methods). A control
// offers one of these interfaces; the host knows only the interfaces, never the control class,
// so new controls plug in without touching the host.
//
// Thread: the user-interface thread.
#include <string>

#include "toolkit/Geometry.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/Values.h"

typedef struct _cairo cairo_t;

namespace Toolkit {

// The content of a pop-up list: rows of equal height the host shows in a window of its own,
// holding the pointer and keyboard while open. Coordinates are list-local.
class IPopupList {
public:
    virtual ~IPopupList() = default;
    virtual Size PopupSize() const = 0;
    // Where the list goes on screen for its owner at `owner` (screen rectangle).
    virtual Rect PlacePopup(const Rect& owner, Size size, const Rect& workArea) const = 0;
    virtual int PopupItemCount() const = 0;
    virtual int PopupItemHeight() const = 0;
    virtual int PopupCurrentItem() const = 0;
    // The row under `pt` with the list scrolled by `scroll` pixels, or -1.
    virtual int PopupItemAt(Point pt, int scroll) const = 0;
    virtual void PaintPopup(cairo_t* cr, Size size, int hotIndex, int scroll) const = 0;
    // The host reports the list opened or closed.
    virtual void PopupShown(bool open) = 0;
    // The user picked a row (called after the list has closed).
    virtual void PopupChoose(int index) = 0;
};

// A control edited through a native text field placed over part of it.
class ITextPeer {
public:
    virtual ~ITextPeer() = default;
    // The field's rectangle (client coordinates); empty hides the field.
    virtual Rect PeerRect() const = 0;
    virtual std::wstring PeerText() const = 0;
    virtual FontInfo PeerFont() const = 0;
    virtual Color PeerTextColor() const = 0;
    virtual int PeerMaxChars() const = 0;  // 0: no limit
    virtual bool PeerPassword() const = 0;
    virtual bool PeerReadOnly() const = 0;
    // The user changed the text in the field.
    virtual void PeerTextEdited(const std::wstring& text) = 0;
    // The field exists (the control then leaves the text to it) or is gone.
    virtual void PeerAttached(bool attached) = 0;
};

}  // namespace Toolkit
