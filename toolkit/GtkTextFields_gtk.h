#pragma once
// The native text fields of one window: a GtkEntry in the window's GtkFixed over every visible
// control that asks for one (ITextPeer), styled with the control's font and colour, following
// its rectangle, and passing text both ways (typing to the control, code to the field).
//
// Thread: the GTK main thread.
#include <gtk/gtk.h>

#include <map>

namespace Toolkit {

class CControlUI;
class CPaintManagerUI;
class ITextPeer;

class GtkTextFields {
public:
    // `fixed` holds the fields; focus arriving in one is reported to `manager`.
    GtkTextFields(GtkWidget* fixed, CPaintManagerUI& manager) : fixed_(fixed), manager_(manager) {}
    GtkTextFields(const GtkTextFields&) = delete;
    GtkTextFields& operator=(const GtkTextFields&) = delete;

    // After a layout: fields follow their controls (made, moved, styled, shown or hidden).
    // `margin` is where the client area starts inside the window.
    void Sync(CControlUI* root, int margin);
    // Gives `control`'s field the keyboard focus; false when it has none.
    bool Focus(CControlUI* control);
    // Code set the control's text: the field shows it without reporting an edit.
    void TextChanged(CControlUI* control);
    // The control is going away (from its base destructor: only the pointer is meaningful).
    void Removed(CControlUI* control, bool destroyWidget);
    // Forgets every field (the window is gone with them).
    void Clear() { fields_.clear(); }
    CControlUI* ControlOf(GtkWidget* entry) const;

private:
    static void OnChanged(GtkEditable* editable, gpointer self);
    static gboolean OnFocusIn(GtkWidget* entry, GdkEvent*, gpointer self);
    GtkWidget* FieldFor(CControlUI* control, ITextPeer* peer);
    static void Style(GtkWidget* entry, ITextPeer* peer);

    GtkWidget* fixed_;
    CPaintManagerUI& manager_;
    std::map<CControlUI*, GtkWidget*> fields_;
    bool settingText_ = false;
};

}  // namespace Toolkit
