#pragma once
// A control's pop-up list (IPopupList: a combo box's drop-down and the like): a pop-up window
// placed and painted by the list, holding the pointer and keyboard while open. A click on a
// row chooses it; a click outside, Escape or losing the grab closes the list.
//
// Thread: the GTK main thread.
#include <gtk/gtk.h>

namespace Toolkit {

class CControlUI;
class GtkWindowHost;
class IPopupList;

class GtkPopupList {
public:
    GtkPopupList(GtkWindowHost& host, CControlUI* owner, IPopupList* list);
    ~GtkPopupList();
    GtkPopupList(const GtkPopupList&) = delete;
    GtkPopupList& operator=(const GtkPopupList&) = delete;

    CControlUI* Owner() const { return owner_; }
    bool IsClosed() const { return closed_; }
    GtkWidget* Widget() const { return popup_; }
    void Close();
    // Closes the list without telling its owner: the owner is being destroyed (its list part,
    // already gone, must not be called).
    void Abandon() {
        list_ = nullptr;
        Close();
    }

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

    CControlUI* owner_;
    IPopupList* list_;
    GtkWidget* popup_ = nullptr;
    int width_ = 0, height_ = 0;
    int hot_ = -1;
    int scroll_ = 0;
    bool closed_ = false;
    bool grabbed_ = false;
};

}  // namespace Toolkit
