#include "toolkit/GtkPopupList_gtk.h"

#include <algorithm>

#include "toolkit/Control.h"
#include "toolkit/NativePeer.h"
#include "toolkit/GtkWindowHost_gtk.h"

namespace Toolkit {

GtkPopupList::GtkPopupList(GtkWindowHost& host, CControlUI* owner, IPopupList* list) : owner_(owner), list_(list) {
    const Size size = list->PopupSize();
    width_ = size.cx;
    height_ = size.cy;
    const Rect box = host.ScreenRectOf(owner->GetPos());
    const Rect place = list->PlacePopup(box, size, host.GetWorkArea());

    popup_ = gtk_window_new(GTK_WINDOW_POPUP);
    g_object_ref_sink(popup_);
    gtk_window_set_type_hint(GTK_WINDOW(popup_), GDK_WINDOW_TYPE_HINT_DROPDOWN_MENU);
    gtk_window_set_transient_for(GTK_WINDOW(popup_), GTK_WINDOW(host.Widget()));
    gtk_widget_set_app_paintable(popup_, TRUE);
    gtk_window_set_default_size(GTK_WINDOW(popup_), width_, height_);
    gtk_widget_set_size_request(popup_, width_, height_);
    gtk_window_move(GTK_WINDOW(popup_), place.left, place.top);
    gtk_widget_add_events(popup_, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                      GDK_KEY_PRESS_MASK | GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK);
    g_signal_connect(popup_, "draw", G_CALLBACK(OnDraw), this);
    g_signal_connect(popup_, "button-press-event", G_CALLBACK(OnButtonPress), this);
    g_signal_connect(popup_, "button-release-event", G_CALLBACK(OnButtonRelease), this);
    g_signal_connect(popup_, "motion-notify-event", G_CALLBACK(OnMotion), this);
    g_signal_connect(popup_, "key-press-event", G_CALLBACK(OnKey), this);
    g_signal_connect(popup_, "scroll-event", G_CALLBACK(OnScroll), this);
    g_signal_connect(popup_, "grab-broken-event", G_CALLBACK(OnGrabBroken), this);
    g_signal_connect(popup_, "map", G_CALLBACK(OnMap), this);
    hot_ = list->PopupCurrentItem();
    list->PopupShown(true);
    gtk_widget_show(popup_);
}

GtkPopupList::~GtkPopupList() {
    Close();
    if (popup_) g_object_unref(popup_);
}

void GtkPopupList::OnMap(GtkWidget*, gpointer p) {
    auto* self = static_cast<GtkPopupList*>(p);
    GdkWindow* gw = gtk_widget_get_window(self->popup_);
    GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(self->popup_));
    // Owner events: the pop-up gets its own events normally and everything else as well, so a
    // click outside closes it.
    if (gw && seat &&
        gdk_seat_grab(seat, gw, GDK_SEAT_CAPABILITY_ALL, TRUE, nullptr, nullptr, nullptr, nullptr) == GDK_GRAB_SUCCESS)
        self->grabbed_ = true;
    gtk_grab_add(self->popup_);
}

void GtkPopupList::Close() {
    if (closed_) return;
    closed_ = true;
    if (grabbed_) {
        GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(popup_));
        if (seat) gdk_seat_ungrab(seat);
        grabbed_ = false;
    }
    g_signal_handlers_disconnect_by_data(popup_, this);
    gtk_grab_remove(popup_);
    gtk_widget_destroy(popup_);
    if (list_) list_->PopupShown(false);
}

void GtkPopupList::Choose(int index) {
    IPopupList* list = list_;
    Close();
    // Last: the choice's handlers may do anything, including closing the window.
    if (index >= 0) list->PopupChoose(index);
}

void GtkPopupList::SetHot(int index) {
    if (index == hot_) return;
    hot_ = index;
    const int h = list_->PopupItemHeight();
    if (hot_ >= 0) {
        // Keep the hot item in view.
        const int top = 1 + hot_ * h, bottom = top + h;
        if (top - scroll_ < 1) scroll_ = top - 1;
        if (bottom - scroll_ > height_ - 1) scroll_ = bottom - (height_ - 1);
    }
    gtk_widget_queue_draw(popup_);
}

gboolean GtkPopupList::OnDraw(GtkWidget*, cairo_t* cr, gpointer p) {
    auto* self = static_cast<GtkPopupList*>(p);
    self->list_->PaintPopup(cr, {self->width_, self->height_}, self->hot_, self->scroll_);
    return TRUE;
}

gboolean GtkPopupList::OnButtonPress(GtkWidget*, GdkEventButton* e, gpointer p) {
    auto* self = static_cast<GtkPopupList*>(p);
    if (e->window != gtk_widget_get_window(self->popup_) || e->x < 0 || e->y < 0 || e->x >= self->width_ ||
        e->y >= self->height_)
        self->Close();
    return TRUE;
}

gboolean GtkPopupList::OnButtonRelease(GtkWidget*, GdkEventButton* e, gpointer p) {
    auto* self = static_cast<GtkPopupList*>(p);
    if (e->window != gtk_widget_get_window(self->popup_) || e->button != 1) return TRUE;
    if (e->x < 0 || e->y < 0 || e->x >= self->width_ || e->y >= self->height_) return TRUE;
    const int index = self->list_->PopupItemAt({static_cast<int>(e->x), static_cast<int>(e->y)}, self->scroll_);
    if (index >= 0) self->Choose(index);
    return TRUE;
}

gboolean GtkPopupList::OnMotion(GtkWidget*, GdkEventMotion* e, gpointer p) {
    auto* self = static_cast<GtkPopupList*>(p);
    if (e->window != gtk_widget_get_window(self->popup_)) return TRUE;
    self->SetHot(self->list_->PopupItemAt({static_cast<int>(e->x), static_cast<int>(e->y)}, self->scroll_));
    return TRUE;
}

gboolean GtkPopupList::OnKey(GtkWidget*, GdkEventKey* e, gpointer p) {
    auto* self = static_cast<GtkPopupList*>(p);
    const int count = self->list_->PopupItemCount();
    switch (e->keyval) {
        case GDK_KEY_Escape: case GDK_KEY_Tab: self->Close(); break;
        case GDK_KEY_Up: case GDK_KEY_KP_Up: self->SetHot(std::max(0, self->hot_ - 1)); break;
        case GDK_KEY_Down: case GDK_KEY_KP_Down: self->SetHot(std::min(count - 1, self->hot_ + 1)); break;
        case GDK_KEY_Home: self->SetHot(0); break;
        case GDK_KEY_End: self->SetHot(count - 1); break;
        case GDK_KEY_Return: case GDK_KEY_KP_Enter: case GDK_KEY_space: self->Choose(self->hot_); break;
        default: break;
    }
    return TRUE;
}

gboolean GtkPopupList::OnScroll(GtkWidget*, GdkEventScroll* e, gpointer p) {
    auto* self = static_cast<GtkPopupList*>(p);
    const int content = self->list_->PopupItemCount() * self->list_->PopupItemHeight() + 2;
    int delta = 0;
    if (e->direction == GDK_SCROLL_UP) delta = -self->list_->PopupItemHeight();
    else if (e->direction == GDK_SCROLL_DOWN) delta = self->list_->PopupItemHeight();
    else if (e->direction == GDK_SCROLL_SMOOTH) delta = static_cast<int>(e->delta_y * self->list_->PopupItemHeight());
    self->scroll_ = std::clamp(self->scroll_ + delta, 0, std::max(0, content - self->height_));
    gtk_widget_queue_draw(self->popup_);
    return TRUE;
}

gboolean GtkPopupList::OnGrabBroken(GtkWidget*, GdkEvent*, gpointer p) {
    static_cast<GtkPopupList*>(p)->Close();
    return TRUE;
}

}  // namespace Toolkit
