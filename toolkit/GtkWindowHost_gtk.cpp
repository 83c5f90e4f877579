#include "toolkit/GtkWindowHost_gtk.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "toolkit/GObjectPtr.h"
#include "toolkit/GtkPopupList_gtk.h"
#include "toolkit/Painter.h"
#include "toolkit/WindowBase.h"
#include "toolkit/WindowIcon.h"
#include "utils/StringUtils.h"

namespace Toolkit {
namespace {

std::uintptr_t VirtualKey(guint keyval) {
    switch (keyval) {
        case GDK_KEY_Tab: case GDK_KEY_ISO_Left_Tab: case GDK_KEY_KP_Tab: return Key::Tab;
        case GDK_KEY_Return: case GDK_KEY_KP_Enter: case GDK_KEY_ISO_Enter: return Key::Return;
        case GDK_KEY_space: case GDK_KEY_KP_Space: return Key::Space;
        case GDK_KEY_Escape: return Key::Escape;
        case GDK_KEY_BackSpace: return Key::Back;
        case GDK_KEY_Up: case GDK_KEY_KP_Up: return Key::Up;
        case GDK_KEY_Down: case GDK_KEY_KP_Down: return Key::Down;
        case GDK_KEY_Left: case GDK_KEY_KP_Left: return Key::Left;
        case GDK_KEY_Right: case GDK_KEY_KP_Right: return Key::Right;
        case GDK_KEY_Home: case GDK_KEY_KP_Home: return Key::Home;
        case GDK_KEY_End: case GDK_KEY_KP_End: return Key::End;
        case GDK_KEY_Page_Up: return Key::PageUp;
        case GDK_KEY_Page_Down: return Key::PageDown;
        case GDK_KEY_F4: return Key::F4;
        default: break;
    }
    const guint32 c = gdk_keyval_to_unicode(gdk_keyval_to_upper(keyval));
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) return c;
    return 0;
}

std::uint32_t Modifiers(guint state, guint keyval = 0) {
    std::uint32_t m = 0;
    if ((state & GDK_SHIFT_MASK) || keyval == GDK_KEY_ISO_Left_Tab) m |= Modifier::Shift;
    if (state & GDK_CONTROL_MASK) m |= Modifier::Control;
    if (state & GDK_MOD1_MASK) m |= Modifier::Alt;
    return m;
}

// Rows of a rounded rectangle as a region (for shape masks, which have no anti-aliasing).
cairo_region_t* OutlineRegion(int x0, int y0, int w, int h, Size round) {
    cairo_region_t* region = cairo_region_create();
    const double rx = std::min(round.cx / 2.0, w / 2.0), ry = std::min(round.cy / 2.0, h / 2.0);
    if (rx < 1 || ry < 1) {
        cairo_rectangle_int_t r{x0, y0, w, h};
        cairo_region_union_rectangle(region, &r);
        return region;
    }
    const int band = static_cast<int>(std::ceil(ry));
    for (int y = 0; y < h; ++y) {
        int inset = 0;
        const int fromEdge = y < band ? y : (y >= h - band ? h - 1 - y : -1);
        if (fromEdge >= 0) {
            const double dy = (ry - (fromEdge + 0.5)) / ry;
            inset = static_cast<int>(std::lround(rx - rx * std::sqrt(std::max(0.0, 1 - dy * dy))));
        }
        cairo_rectangle_int_t r{x0 + inset, y0 + y, w - 2 * inset, 1};
        cairo_region_union_rectangle(region, &r);
    }
    return region;
}


}  // namespace

GtkWindowHost::GtkWindowHost(CWindowBase& window, CWindowBase* owner, const std::wstring& title, int width, int height)
    : owner_window_(window), manager_(window.PaintManager()), client_{width, height} {
    window_ = NewAccessibleWindow(this);
    g_object_ref_sink(window_);
    gtk_window_set_title(GTK_WINDOW(window_), Utils::ToUtf8(title).c_str());
    gtk_window_set_decorated(GTK_WINDOW(window_), FALSE);
    gtk_widget_set_app_paintable(window_, TRUE);
    gtk_widget_set_name(window_, Utils::ToUtf8(window.GetWindowClassName()).c_str());
    if (owner && owner->Native())
        gtk_window_set_transient_for(GTK_WINDOW(window_), GTK_WINDOW(static_cast<GtkWindowHost*>(owner->Native())->Widget()));

    GdkScreen* screen = gtk_widget_get_screen(window_);
    GdkVisual* rgba = gdk_screen_get_rgba_visual(screen);
    composited_ = rgba && gdk_screen_is_composited(screen);
    if (composited_) {
        gtk_widget_set_visual(window_, rgba);
        margin_ = Paint::ShadowMargin(manager_.GetShadow());
    }

    fixed_ = gtk_fixed_new();
    fields_ = std::make_unique<GtkTextFields>(fixed_, manager_);
    gtk_widget_set_size_request(fixed_, width + 2 * margin_, height + 2 * margin_);
    gtk_container_add(GTK_CONTAINER(window_), fixed_);
    gtk_widget_show(fixed_);
    gtk_window_set_default_size(GTK_WINDOW(window_), width + 2 * margin_, height + 2 * margin_);

    gtk_widget_add_events(window_, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                       GDK_LEAVE_NOTIFY_MASK | GDK_KEY_PRESS_MASK | GDK_STRUCTURE_MASK);
    g_signal_connect(window_, "draw", G_CALLBACK(OnDraw), this);
    g_signal_connect(window_, "button-press-event", G_CALLBACK(OnButtonPress), this);
    g_signal_connect(window_, "button-release-event", G_CALLBACK(OnButtonRelease), this);
    g_signal_connect(window_, "motion-notify-event", G_CALLBACK(OnMotion), this);
    g_signal_connect(window_, "leave-notify-event", G_CALLBACK(OnLeave), this);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
    g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);
    g_signal_connect(window_, "window-state-event", G_CALLBACK(OnWindowState), this);
    g_signal_connect(window_, "realize", G_CALLBACK(OnRealize), this);
    g_signal_connect(window_, "notify::scale-factor", G_CALLBACK(OnScaleChanged), this);
    if (!WindowIconImages().empty()) SetIconImages(WindowIconImages());
    manager_.SetHost(this);
}

GtkWindowHost::~GtkWindowHost() {
    Destroy();
    if (window_) g_object_unref(window_);
}

void GtkWindowHost::Destroy() {
    if (destroyed_) return;
    destroyed_ = true;
    popup_.reset();
    if (manager_.GetHost() == this) manager_.SetHost(nullptr);
    fields_->Clear();
    accessibles_.Clear();
    if (window_) {
        g_object_set_data(G_OBJECT(window_), "qv-host", nullptr);
        g_signal_handlers_disconnect_by_data(window_, this);
        gtk_widget_destroy(window_);
    }
}

void GtkWindowHost::OnDestroy(GtkWidget*, gpointer p) {
    auto* self = static_cast<GtkWindowHost*>(p);
    if (self->destroyed_) return;
    self->destroyed_ = true;
    self->popup_.reset();
    if (self->manager_.GetHost() == self) self->manager_.SetHost(nullptr);
    self->fields_->Clear();
    self->accessibles_.Clear();
    g_object_set_data(G_OBJECT(self->window_), "qv-host", nullptr);
    self->owner_window_.OnNativeDestroyed();
}

void GtkWindowHost::OnRealize(GtkWidget*, gpointer p) { static_cast<GtkWindowHost*>(p)->UpdateShape(); }

void GtkWindowHost::UpdateShape() {
    if (destroyed_) return;
    if (composited_) {
        // The shadow margin lets clicks through to what lies beneath.
        cairo_rectangle_int_t r{margin_, margin_, client_.cx, client_.cy};
        cairo_region_t* input = cairo_region_create_rectangle(&r);
        gtk_widget_input_shape_combine_region(window_, margin_ > 0 ? input : nullptr);
        cairo_region_destroy(input);
        return;
    }
    const Size round = manager_.GetRoundCorner();
    if (round.cx / 2 < 1 || round.cy / 2 < 1) {
        gtk_widget_shape_combine_region(window_, nullptr);
        return;
    }
    cairo_region_t* shape = OutlineRegion(0, 0, client_.cx, client_.cy, round);
    gtk_widget_shape_combine_region(window_, shape);
    cairo_region_destroy(shape);
}

void GtkWindowHost::OnScaleChanged(GObject*, GParamSpec*, gpointer p) {
    auto* self = static_cast<GtkWindowHost*>(p);
    if (self->destroyed_) return;
    gtk_widget_queue_draw(self->window_);
}

gboolean GtkWindowHost::OnDraw(GtkWidget*, cairo_t* cr, gpointer p) {
    auto* self = static_cast<GtkWindowHost*>(p);
    if (self->destroyed_) return FALSE;
    GtkAllocation alloc;
    gtk_widget_get_allocation(self->window_, &alloc);
    const Size client{alloc.width - 2 * self->margin_, alloc.height - 2 * self->margin_};
    if (client.cx > 0 && client.cy > 0 && !(client == self->client_)) {
        self->client_ = client;
        self->painter_.Reset();
        self->UpdateShape();
    }
    self->manager_.SetClientSize(self->client_);
    WindowFrame frame;
    frame.margin = self->margin_;
    frame.shadow = self->margin_ > 0;
    frame.roundedClip = !self->maximized_;
    frame.opaque = !self->composited_;
    frame.outline = !self->composited_ && !self->maximized_;
    self->painter_.Paint(cr, self->manager_, frame, {0, 0, self->client_.cx, self->client_.cy});
    return FALSE;  // the entries are drawn over the toolkit's pixels
}

Point GtkWindowHost::ToClient(double x, double y) const {
    return {static_cast<int>(std::floor(x)) - margin_, static_cast<int>(std::floor(y)) - margin_};
}

gboolean GtkWindowHost::OnButtonPress(GtkWidget*, GdkEventButton* e, gpointer p) {
    auto* self = static_cast<GtkWindowHost*>(p);
    if (self->destroyed_ || e->window != gtk_widget_get_window(self->window_)) return FALSE;
    if (e->type != GDK_BUTTON_PRESS) return TRUE;  // double and triple clicks add nothing
    if (e->button != 1) return FALSE;
    const Point pt = self->ToClient(e->x, e->y);
    if (!Rect{0, 0, self->client_.cx, self->client_.cy}.Contains(pt)) return FALSE;
    const HitTest ht = self->manager_.HitTestPoint(pt, self->maximized_);
    if (ht == HitTest::Caption) {
        gtk_window_begin_move_drag(GTK_WINDOW(self->window_), static_cast<gint>(e->button), static_cast<gint>(e->x_root),
                                   static_cast<gint>(e->y_root), e->time);
        return TRUE;
    }
    if (ht != HitTest::Client) {
        GdkWindowEdge edge = GDK_WINDOW_EDGE_SOUTH_EAST;
        switch (ht) {
            case HitTest::Left: edge = GDK_WINDOW_EDGE_WEST; break;
            case HitTest::Right: edge = GDK_WINDOW_EDGE_EAST; break;
            case HitTest::Top: edge = GDK_WINDOW_EDGE_NORTH; break;
            case HitTest::Bottom: edge = GDK_WINDOW_EDGE_SOUTH; break;
            case HitTest::TopLeft: edge = GDK_WINDOW_EDGE_NORTH_WEST; break;
            case HitTest::TopRight: edge = GDK_WINDOW_EDGE_NORTH_EAST; break;
            case HitTest::BottomLeft: edge = GDK_WINDOW_EDGE_SOUTH_WEST; break;
            default: break;
        }
        gtk_window_begin_resize_drag(GTK_WINDOW(self->window_), edge, static_cast<gint>(e->button),
                                     static_cast<gint>(e->x_root), static_cast<gint>(e->y_root), e->time);
        return TRUE;
    }
    self->manager_.OnButtonDown(pt, Modifiers(e->state));
    return TRUE;
}

gboolean GtkWindowHost::OnButtonRelease(GtkWidget*, GdkEventButton* e, gpointer p) {
    auto* self = static_cast<GtkWindowHost*>(p);
    if (self->destroyed_ || e->window != gtk_widget_get_window(self->window_) || e->button != 1) return FALSE;
    self->manager_.OnButtonUp(self->ToClient(e->x, e->y), Modifiers(e->state));
    return TRUE;
}

gboolean GtkWindowHost::OnMotion(GtkWidget*, GdkEventMotion* e, gpointer p) {
    auto* self = static_cast<GtkWindowHost*>(p);
    if (self->destroyed_ || e->window != gtk_widget_get_window(self->window_)) return FALSE;
    self->manager_.OnMouseMove(self->ToClient(e->x, e->y));
    return FALSE;
}

gboolean GtkWindowHost::OnLeave(GtkWidget*, GdkEventCrossing* e, gpointer p) {
    auto* self = static_cast<GtkWindowHost*>(p);
    if (self->destroyed_ || e->window != gtk_widget_get_window(self->window_) || e->detail == GDK_NOTIFY_INFERIOR)
        return FALSE;
    self->manager_.OnMouseLeave();
    return FALSE;
}

gboolean GtkWindowHost::OnKeyPress(GtkWidget*, GdkEventKey* e, gpointer p) {
    auto* self = static_cast<GtkWindowHost*>(p);
    if (self->destroyed_) return FALSE;
    const std::uintptr_t vk = VirtualKey(e->keyval);
    const std::uint32_t mods = Modifiers(e->state, e->keyval);
    if (vk == Key::F4 && (mods & Modifier::Alt)) {
        // Alt+F4 is the system close command: WM_CLOSE sent directly, no close request.
        self->owner_window_.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        return TRUE;
    }
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(self->window_));
    const bool inEntry = focus && GTK_IS_ENTRY(focus) && self->fields_->ControlOf(focus);
    if (inEntry && vk != Key::Tab && vk != Key::Escape) {
        // Text keys belong to the entry; the filters still see Enter first.
        std::intptr_t result = 0;
        if (vk == Key::Return && self->manager_.PreMessage(WM_KEYDOWN, vk, mods, result)) return TRUE;
        return FALSE;
    }
    const bool used = self->manager_.OnKeyDown(vk, mods);
    return used || vk == Key::Escape || vk == Key::Tab;
}

gboolean GtkWindowHost::OnDelete(GtkWidget*, GdkEvent*, gpointer p) {
    auto* self = static_cast<GtkWindowHost*>(p);
    if (!self->destroyed_) self->owner_window_.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    return TRUE;  // the window base decides whether the window goes
}

gboolean GtkWindowHost::OnWindowState(GtkWidget*, GdkEventWindowState* e, gpointer p) {
    auto* self = static_cast<GtkWindowHost*>(p);
    if (self->destroyed_ || !(e->changed_mask & GDK_WINDOW_STATE_MAXIMIZED)) return FALSE;
    self->maximized_ = (e->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
    self->owner_window_.OnMaximizedChanged(self->maximized_);
    gtk_widget_queue_draw(self->window_);  // the corners are square while maximised
    return FALSE;
}

// ---- INativeWindow ----

void GtkWindowHost::Show(bool show, bool activate) {
    if (destroyed_) return;
    if (!show) {
        gtk_widget_hide(window_);
        return;
    }
    if (position_.x >= 0) gtk_window_move(GTK_WINDOW(window_), position_.x - margin_, position_.y - margin_);
    gtk_widget_show(window_);
    if (activate) gtk_window_present(GTK_WINDOW(window_));
}

void GtkWindowHost::SetSensitive(bool sensitive) {
    if (!destroyed_) gtk_widget_set_sensitive(window_, sensitive);
}

void GtkWindowHost::Focus() {
    if (!destroyed_ && gtk_widget_get_visible(window_)) gtk_window_present(GTK_WINDOW(window_));
}

void GtkWindowHost::Minimize() {
    if (!destroyed_) gtk_window_iconify(GTK_WINDOW(window_));
}

void GtkWindowHost::Maximize() {
    if (!destroyed_) gtk_window_maximize(GTK_WINDOW(window_));
}

void GtkWindowHost::Restore() {
    if (destroyed_) return;
    gtk_window_unmaximize(GTK_WINDOW(window_));
    gtk_window_deiconify(GTK_WINDOW(window_));
}

Rect GtkWindowHost::GetRect() const {
    int x = position_.x, y = position_.y;
    GdkWindow* gw = destroyed_ ? nullptr : gtk_widget_get_window(window_);
    if (gw && gtk_widget_get_mapped(window_)) {
        gdk_window_get_origin(gw, &x, &y);
        x += margin_;
        y += margin_;
    } else if (x < 0) {
        x = y = 0;
    }
    return {x, y, x + client_.cx, y + client_.cy};
}

void GtkWindowHost::Move(int x, int y) {
    position_ = {x, y};
    if (!destroyed_) gtk_window_move(GTK_WINDOW(window_), x - margin_, y - margin_);
}

void GtkWindowHost::Resize(int width, int height) {
    if (destroyed_) return;
    client_ = {width, height};
    gtk_widget_set_size_request(fixed_, width + 2 * margin_, height + 2 * margin_);
    gtk_window_resize(GTK_WINDOW(window_), width + 2 * margin_, height + 2 * margin_);
    manager_.SetClientSize(client_);
}

Rect GtkWindowHost::GetWorkArea() const {
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return {};
    GdkMonitor* monitor = nullptr;
    GdkWindow* gw = destroyed_ ? nullptr : gtk_widget_get_window(window_);
    if (gw) monitor = gdk_display_get_monitor_at_window(display, gw);
    if (!monitor) monitor = gdk_display_get_primary_monitor(display);
    if (!monitor && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
    if (!monitor) return {};
    GdkRectangle r;
    gdk_monitor_get_workarea(monitor, &r);
    return {r.x, r.y, r.x + r.width, r.y + r.height};
}

void GtkWindowHost::SetKeepAbove(bool above) {
    if (!destroyed_) gtk_window_set_keep_above(GTK_WINDOW(window_), above);
}

void GtkWindowHost::SetIconImages(const std::vector<std::vector<unsigned char>>& pngFiles) {
    if (destroyed_) return;
    GList* icons = nullptr;
    for (const auto& png : pngFiles) {
        if (png.empty()) continue;
        auto loader = GObjectPtr<GdkPixbufLoader>::Adopt(gdk_pixbuf_loader_new());
        GError* err = nullptr;
        bool ok = gdk_pixbuf_loader_write(loader.get(), png.data(), png.size(), &err);
        g_clear_error(&err);
        ok = gdk_pixbuf_loader_close(loader.get(), ok ? &err : nullptr) && ok;
        g_clear_error(&err);
        GdkPixbuf* pixbuf = ok ? gdk_pixbuf_loader_get_pixbuf(loader.get()) : nullptr;
        if (pixbuf) icons = g_list_append(icons, g_object_ref(pixbuf));
    }
    gtk_window_set_icon_list(GTK_WINDOW(window_), icons);  // takes its own references
    g_list_free_full(icons, g_object_unref);
}

Rect GtkWindowHost::ScreenRectOf(const Rect& client) const {
    const Rect w = GetRect();
    return client.Offset(w.left, w.top);
}

// ---- IWindowHost ----

void GtkWindowHost::InvalidateRect(const Rect& r) {
    if (destroyed_ || r.IsEmpty()) return;
    gtk_widget_queue_draw_area(window_, r.left + margin_, r.top + margin_, r.Width(), r.Height());
}

void GtkWindowHost::LayoutChanged() {
    if (!destroyed_ && manager_.GetRoot()) fields_->Sync(manager_.GetRoot(), margin_);
}

void GtkWindowHost::FocusChanged(CControlUI* control) {
    if (destroyed_) return;
    accessibles_.FocusMoved(focus_, control);
    focus_ = control;
    if (fields_->Focus(control)) return;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window_));
    if (focus && GTK_IS_ENTRY(focus)) gtk_window_set_focus(GTK_WINDOW(window_), nullptr);
}

void GtkWindowHost::PeerChanged(CControlUI* control) { fields_->TextChanged(control); }

void GtkWindowHost::ControlRemoved(CControlUI* control) {
    // From the control's base destructor: its list part is gone, so it is not told.
    if (popup_ && popup_->Owner() == control) {
        popup_->Abandon();
        popup_.reset();
    }
    if (focus_ == control) focus_ = nullptr;
    accessibles_.Removed(control);
    fields_->Removed(control, !destroyed_);
}

bool GtkWindowHost::ShowPopup(CControlUI* owner, IPopupList* list) {
    if (destroyed_ || !owner || !list) return false;
    popup_.reset();  // a closed pop-up lingers until the next one opens
    popup_ = std::make_unique<GtkPopupList>(*this, owner, list);
    return true;
}

}  // namespace Toolkit
