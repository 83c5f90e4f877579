#include "toolkit/GtkComboPopup_gtk.h"

#include <algorithm>

#include "toolkit/Combo.h"
#include "toolkit/GtkWindowHost_gtk.h"

namespace Toolkit {

GtkComboPopup::GtkComboPopup(GtkWindowHost& host, CComboUI* combo) : combo_(combo) {
    const Size size = combo->GetDropListSize();
    width_ = size.cx;
    height_ = size.cy;
    const Rect box = host.ScreenRectOf(combo->GetPos());
    const Rect place = CComboUI::PlaceDropList(box, size, host.GetWorkArea(), combo->IsDropUp());

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
    hot_ = combo->GetCurSel();
    combo->SetDropDownOpen(true);
    gtk_widget_show(popup_);
}

GtkComboPopup::~GtkComboPopup() {
    Close();
    if (popup_) g_object_unref(popup_);
}

void GtkComboPopup::OnMap(GtkWidget*, gpointer p) {
    auto* self = static_cast<GtkComboPopup*>(p);
    GdkWindow* gw = gtk_widget_get_window(self->popup_);
    GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(self->popup_));
    // Owner events: the pop-up gets its own events normally and everything else as well, so a
    // click outside closes it.
    if (gw && seat &&
        gdk_seat_grab(seat, gw, GDK_SEAT_CAPABILITY_ALL, TRUE, nullptr, nullptr, nullptr, nullptr) == GDK_GRAB_SUCCESS)
        self->grabbed_ = true;
    gtk_grab_add(self->popup_);
}

void GtkComboPopup::Close() {
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
    combo_->SetDropDownOpen(false);
}

void GtkComboPopup::Choose(int index) {
    CComboUI* combo = combo_;
    Close();
    // Last: the "itemselect" handler may do anything, including closing the window.
    if (index >= 0) combo->SelectItem(index);
}

void GtkComboPopup::SetHot(int index) {
    if (index == hot_) return;
    hot_ = index;
    const int h = combo_->GetItemHeight();
    if (hot_ >= 0) {
        // Keep the hot item in view.
        const int top = 1 + hot_ * h, bottom = top + h;
        if (top - scroll_ < 1) scroll_ = top - 1;
        if (bottom - scroll_ > height_ - 1) scroll_ = bottom - (height_ - 1);
    }
    gtk_widget_queue_draw(popup_);
}

gboolean GtkComboPopup::OnDraw(GtkWidget*, cairo_t* cr, gpointer p) {
    auto* self = static_cast<GtkComboPopup*>(p);
    self->combo_->PaintDropList(cr, {self->width_, self->height_}, self->hot_, self->scroll_);
    return TRUE;
}

gboolean GtkComboPopup::OnButtonPress(GtkWidget*, GdkEventButton* e, gpointer p) {
    auto* self = static_cast<GtkComboPopup*>(p);
    if (e->window != gtk_widget_get_window(self->popup_) || e->x < 0 || e->y < 0 || e->x >= self->width_ ||
        e->y >= self->height_)
        self->Close();
    return TRUE;
}

gboolean GtkComboPopup::OnButtonRelease(GtkWidget*, GdkEventButton* e, gpointer p) {
    auto* self = static_cast<GtkComboPopup*>(p);
    if (e->window != gtk_widget_get_window(self->popup_) || e->button != 1) return TRUE;
    if (e->x < 0 || e->y < 0 || e->x >= self->width_ || e->y >= self->height_) return TRUE;
    const int index = self->combo_->DropItemAt({static_cast<int>(e->x), static_cast<int>(e->y)}, self->scroll_);
    if (index >= 0) self->Choose(index);
    return TRUE;
}

gboolean GtkComboPopup::OnMotion(GtkWidget*, GdkEventMotion* e, gpointer p) {
    auto* self = static_cast<GtkComboPopup*>(p);
    if (e->window != gtk_widget_get_window(self->popup_)) return TRUE;
    self->SetHot(self->combo_->DropItemAt({static_cast<int>(e->x), static_cast<int>(e->y)}, self->scroll_));
    return TRUE;
}

gboolean GtkComboPopup::OnKey(GtkWidget*, GdkEventKey* e, gpointer p) {
    auto* self = static_cast<GtkComboPopup*>(p);
    const int count = self->combo_->GetCount();
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

gboolean GtkComboPopup::OnScroll(GtkWidget*, GdkEventScroll* e, gpointer p) {
    auto* self = static_cast<GtkComboPopup*>(p);
    const int content = self->combo_->GetCount() * self->combo_->GetItemHeight() + 2;
    int delta = 0;
    if (e->direction == GDK_SCROLL_UP) delta = -self->combo_->GetItemHeight();
    else if (e->direction == GDK_SCROLL_DOWN) delta = self->combo_->GetItemHeight();
    else if (e->direction == GDK_SCROLL_SMOOTH) delta = static_cast<int>(e->delta_y * self->combo_->GetItemHeight());
    self->scroll_ = std::clamp(self->scroll_ + delta, 0, std::max(0, content - self->height_));
    gtk_widget_queue_draw(self->popup_);
    return TRUE;
}

gboolean GtkComboPopup::OnGrabBroken(GtkWidget*, GdkEvent*, gpointer p) {
    static_cast<GtkComboPopup*>(p)->Close();
    return TRUE;
}

}  // namespace Toolkit
