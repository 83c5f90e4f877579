#pragma once
// The drop-down list of a Combo: a pop-up window below the box (above it for "dropup") that
// the combo box paints, holding the pointer and keyboard while open. A click on an item
// selects it; a click outside, Escape or losing the grab closes the list.
//
// Thread: the GTK main thread.
#include <gtk/gtk.h>

namespace Toolkit {

class CComboUI;
class GtkWindowHost;

class GtkComboPopup {
public:
    GtkComboPopup(GtkWindowHost& host, CComboUI* combo);
    ~GtkComboPopup();
    GtkComboPopup(const GtkComboPopup&) = delete;
    GtkComboPopup& operator=(const GtkComboPopup&) = delete;

    CComboUI* Combo() const { return combo_; }
    bool IsClosed() const { return closed_; }
    GtkWidget* Widget() const { return popup_; }
    void Close();

private:
    static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer self);
    static gboolean OnButtonPress(GtkWidget*, GdkEventButton* e, gpointer self);
    static gboolean OnButtonRelease(GtkWidget*, GdkEventButton* e, gpointer self);
    static gboolean OnMotion(GtkWidget*, GdkEventMotion* e, gpointer self);
    static gboolean OnKey(GtkWidget*, GdkEventKey* e, gpointer self);
    static gboolean OnScroll(GtkWidget*, GdkEventScroll* e, gpointer self);
    static gboolean OnGrabBroken(GtkWidget*, GdkEvent*, gpointer self);
    static void OnMap(GtkWidget*, gpointer self);
    void Choose(int index);
    void SetHot(int index);

    CComboUI* combo_;
    GtkWidget* popup_ = nullptr;
    int width_ = 0, height_ = 0;
    int hot_ = -1;
    int scroll_ = 0;
    bool closed_ = false;
    bool grabbed_ = false;
};

}  // namespace Toolkit
