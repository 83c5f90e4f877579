#include "toolkit/GtkAccessible_gtk.h"

#include <gtk/gtk-a11y.h>

#include <string>
#include <vector>

#include "toolkit/AccessibleTree.h"
#include "toolkit/Control.h"
#include "toolkit/GtkWindowHost_gtk.h"
#include "utils/StringUtils.h"

namespace Toolkit {
namespace {

constexpr const char* kHostKey = "qv-host";

GtkWindowHost* HostOf(GtkWidget* window) {
    return window ? static_cast<GtkWindowHost*>(g_object_get_data(G_OBJECT(window), kHostKey)) : nullptr;
}

AtkRole RoleOf(AccessibleRole role) {
    switch (role) {
        case AccessibleRole::Panel: return ATK_ROLE_PANEL;
        case AccessibleRole::Label: return ATK_ROLE_LABEL;
        case AccessibleRole::PushButton: return ATK_ROLE_PUSH_BUTTON;
        case AccessibleRole::CheckBox: return ATK_ROLE_CHECK_BOX;
        case AccessibleRole::ComboBox: return ATK_ROLE_COMBO_BOX;
        case AccessibleRole::ProgressBar: return ATK_ROLE_PROGRESS_BAR;
        case AccessibleRole::TextEntry: return ATK_ROLE_ENTRY;
        case AccessibleRole::PageTabList: return ATK_ROLE_PAGE_TAB_LIST;
        case AccessibleRole::Image: return ATK_ROLE_IMAGE;
        case AccessibleRole::Filler: break;
    }
    return ATK_ROLE_FILLER;
}

}  // namespace
}  // namespace Toolkit

using Toolkit::AccessibleControls;
using Toolkit::CControlUI;

// ---- one control ----

struct QvControlAccessible {
    AtkObject parent;
    CControlUI* control;          // null once the control is gone
    AccessibleControls* objects;  // null once the window is gone
    char* name;                   // the last name handed out (owned)
};
struct QvControlAccessibleClass {
    AtkObjectClass parent_class;
};

static void qv_control_component_init(AtkComponentIface* iface);
G_DEFINE_TYPE_WITH_CODE(QvControlAccessible, qv_control_accessible, ATK_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_COMPONENT, qv_control_component_init))

#define QV_CONTROL_ACCESSIBLE(o) (G_TYPE_CHECK_INSTANCE_CAST((o), qv_control_accessible_get_type(), QvControlAccessible))

static void qv_control_accessible_init(QvControlAccessible* self) {
    self->control = nullptr;
    self->objects = nullptr;
    self->name = nullptr;
}

static void qv_control_accessible_finalize(GObject* object) {
    g_free(QV_CONTROL_ACCESSIBLE(object)->name);
    G_OBJECT_CLASS(qv_control_accessible_parent_class)->finalize(object);
}

static const gchar* qv_control_get_name(AtkObject* object) {
    auto* self = QV_CONTROL_ACCESSIBLE(object);
    if (!self->control) return nullptr;
    g_free(self->name);
    self->name = g_strdup(Utils::ToUtf8(self->control->GetAccessibleName()).c_str());
    return self->name;
}

static gint qv_control_get_n_children(AtkObject* object) {
    auto* self = QV_CONTROL_ACCESSIBLE(object);
    return self->control && self->objects ? static_cast<gint>(Toolkit::AccessibleChildren(*self->control).size()) : 0;
}

static AtkObject* qv_control_ref_child(AtkObject* object, gint index) {
    auto* self = QV_CONTROL_ACCESSIBLE(object);
    if (!self->control || !self->objects || index < 0) return nullptr;
    const auto children = Toolkit::AccessibleChildren(*self->control);
    if (static_cast<size_t>(index) >= children.size()) return nullptr;
    return self->objects->Ref(children[static_cast<size_t>(index)], object);
}

static gint qv_control_get_index_in_parent(AtkObject* object) {
    auto* self = QV_CONTROL_ACCESSIBLE(object);
    if (!self->control) return -1;
    // Below the window the control objects come first, ahead of GTK's own children.
    const CControlUI* parent = Toolkit::AccessibleParent(*self->control);
    const auto siblings = parent ? Toolkit::AccessibleChildren(*parent)
                         : self->objects ? Toolkit::AccessibleTopLevel(self->objects->Host().Manager().GetRoot())
                                         : std::vector<CControlUI*>{};
    for (size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i] == self->control) return static_cast<gint>(i);
    return -1;
}

static AtkStateSet* qv_control_ref_state_set(AtkObject* object) {
    auto* self = QV_CONTROL_ACCESSIBLE(object);
    AtkStateSet* states = atk_state_set_new();
    CControlUI* c = self->control;
    if (!c || !self->objects) {
        atk_state_set_add_state(states, ATK_STATE_DEFUNCT);
        return states;
    }
    if (c->IsEnabled()) {
        atk_state_set_add_state(states, ATK_STATE_ENABLED);
        atk_state_set_add_state(states, ATK_STATE_SENSITIVE);
    }
    if (c->IsVisible()) atk_state_set_add_state(states, ATK_STATE_VISIBLE);
    if (c->IsReallyVisible()) atk_state_set_add_state(states, ATK_STATE_SHOWING);
    if (c->IsFocusable()) atk_state_set_add_state(states, ATK_STATE_FOCUSABLE);
    if (c->IsFocused()) atk_state_set_add_state(states, ATK_STATE_FOCUSED);
    if (c->GetAccessibleRole() == Toolkit::AccessibleRole::CheckBox) {
        atk_state_set_add_state(states, ATK_STATE_CHECKABLE);
        if (c->IsChecked()) atk_state_set_add_state(states, ATK_STATE_CHECKED);
    }
    return states;
}

static void qv_control_accessible_class_init(QvControlAccessibleClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = qv_control_accessible_finalize;
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_name = qv_control_get_name;
    atk->get_n_children = qv_control_get_n_children;
    atk->ref_child = qv_control_ref_child;
    atk->get_index_in_parent = qv_control_get_index_in_parent;
    atk->ref_state_set = qv_control_ref_state_set;
}

static void qv_control_get_extents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height,
                                   AtkCoordType coords) {
    auto* self = QV_CONTROL_ACCESSIBLE(component);
    *x = *y = *width = *height = 0;
    if (!self->control || !self->objects) return;
    Toolkit::GtkWindowHost& host = self->objects->Host();
    const Toolkit::Rect r = self->control->GetPos();
    Toolkit::Rect place = host.ScreenRectOf(r);
    if (coords == ATK_XY_WINDOW) place = r.Offset(host.Margin(), host.Margin());
    *x = place.left;
    *y = place.top;
    *width = place.Width();
    *height = place.Height();
}

static gboolean qv_control_grab_focus(AtkComponent* component) {
    auto* self = QV_CONTROL_ACCESSIBLE(component);
    if (!self->control || !self->control->IsFocusable()) return FALSE;
    self->control->SetFocus();
    return TRUE;
}

static void qv_control_component_init(AtkComponentIface* iface) {
    iface->get_extents = qv_control_get_extents;
    iface->grab_focus = qv_control_grab_focus;
}

// ---- a control with a "click" action (buttons, check boxes) ----

struct QvClickableAccessible {
    QvControlAccessible parent;
};
struct QvClickableAccessibleClass {
    QvControlAccessibleClass parent_class;
};

static void qv_clickable_action_init(AtkActionIface* iface);
G_DEFINE_TYPE_WITH_CODE(QvClickableAccessible, qv_clickable_accessible, qv_control_accessible_get_type(),
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_ACTION, qv_clickable_action_init))

static void qv_clickable_accessible_init(QvClickableAccessible*) {}
static void qv_clickable_accessible_class_init(QvClickableAccessibleClass*) {}

static gboolean qv_clickable_do_action(AtkAction* action, gint index) {
    auto* self = QV_CONTROL_ACCESSIBLE(action);
    if (index != 0 || !self->control || !self->control->IsEnabled() || !self->control->IsReallyVisible()) return FALSE;
    // The request arrives inside the accessibility bridge's D-Bus handler; the click itself
    // (which may open a modal box) runs from the main loop, if the control still exists then.
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            auto* me = QV_CONTROL_ACCESSIBLE(data);
            if (me->control && me->objects) me->control->Activate();
            return G_SOURCE_REMOVE;
        },
        g_object_ref(action), g_object_unref);
    return TRUE;
}

static gint qv_clickable_get_n_actions(AtkAction*) { return 1; }
static const gchar* qv_clickable_get_name(AtkAction*, gint index) { return index == 0 ? "click" : nullptr; }

static void qv_clickable_action_init(AtkActionIface* iface) {
    iface->do_action = qv_clickable_do_action;
    iface->get_n_actions = qv_clickable_get_n_actions;
    iface->get_name = qv_clickable_get_name;
}

// ---- a control showing a value (progress bars) ----

struct QvValueAccessible {
    QvControlAccessible parent;
};
struct QvValueAccessibleClass {
    QvControlAccessibleClass parent_class;
};

static void qv_value_value_init(AtkValueIface* iface);
G_DEFINE_TYPE_WITH_CODE(QvValueAccessible, qv_value_accessible, qv_control_accessible_get_type(),
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_VALUE, qv_value_value_init))

static void qv_value_accessible_init(QvValueAccessible*) {}
static void qv_value_accessible_class_init(QvValueAccessibleClass*) {}

static bool ValueOf(AtkValue* value, double& minimum, double& maximum, double& current) {
    auto* self = QV_CONTROL_ACCESSIBLE(value);
    minimum = maximum = current = 0;
    return self->control && self->control->GetAccessibleValue(minimum, maximum, current);
}

static void qv_value_get_value_and_text(AtkValue* value, gdouble* current, gchar** text) {
    double minimum, maximum, now;
    ValueOf(value, minimum, maximum, now);
    if (current) *current = now;
    if (text) *text = nullptr;
}

static AtkRange* qv_value_get_range(AtkValue* value) {
    double minimum, maximum, now;
    if (!ValueOf(value, minimum, maximum, now)) return nullptr;
    return atk_range_new(minimum, maximum, nullptr);
}

static void qv_value_value_init(AtkValueIface* iface) {
    iface->get_value_and_text = qv_value_get_value_and_text;
    iface->get_range = qv_value_get_range;
}

// ---- the window: GTK's own children plus the control tree ----

struct QvWindowAccessible {
    GtkWindowAccessible parent;
};
struct QvWindowAccessibleClass {
    GtkWindowAccessibleClass parent_class;
};
G_DEFINE_TYPE(QvWindowAccessible, qv_window_accessible, GTK_TYPE_WINDOW_ACCESSIBLE)

// The controls directly below the window (see AccessibleTree.h).
static std::vector<CControlUI*> TopLevelControls(AtkObject* object, Toolkit::GtkWindowHost** host) {
    *host = Toolkit::HostOf(gtk_accessible_get_widget(GTK_ACCESSIBLE(object)));
    return *host ? Toolkit::AccessibleTopLevel((*host)->Manager().GetRoot()) : std::vector<CControlUI*>{};
}

// The host's fixed container only holds the native text fields over their controls: a nameless
// panel to a reader. Its children are listed below the window in its place.
static AtkObject* NativeFieldHolder(AtkObject* object) {
    GtkWidget* window = gtk_accessible_get_widget(GTK_ACCESSIBLE(object));
    GtkWidget* child = window && GTK_IS_BIN(window) ? gtk_bin_get_child(GTK_BIN(window)) : nullptr;
    return child && GTK_IS_FIXED(child) ? gtk_widget_get_accessible(child) : nullptr;
}

static gint qv_window_get_n_children(AtkObject* object) {
    AtkObject* holder = NativeFieldHolder(object);
    const gint native = holder ? atk_object_get_n_accessible_children(holder)
                               : ATK_OBJECT_CLASS(qv_window_accessible_parent_class)->get_n_children(object);
    Toolkit::GtkWindowHost* host = nullptr;
    return native + static_cast<gint>(TopLevelControls(object, &host).size());
}

static AtkObject* qv_window_ref_child(AtkObject* object, gint index) {
    Toolkit::GtkWindowHost* host = nullptr;
    const auto controls = TopLevelControls(object, &host);
    if (index < 0) return nullptr;
    if (static_cast<size_t>(index) < controls.size()) return host->Accessibles().Ref(controls[static_cast<size_t>(index)], object);
    index -= static_cast<gint>(controls.size());
    AtkObject* holder = NativeFieldHolder(object);
    if (!holder) return ATK_OBJECT_CLASS(qv_window_accessible_parent_class)->ref_child(object, index);
    AtkObject* field = atk_object_ref_accessible_child(holder, index);
    // Readers walk up as well as down: the field names the window as its parent.
    if (field && atk_object_get_parent(field) != object) atk_object_set_parent(field, object);
    return field;
}

static void qv_window_accessible_init(QvWindowAccessible*) {}
static void qv_window_accessible_class_init(QvWindowAccessibleClass* klass) {
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_n_children = qv_window_get_n_children;
    atk->ref_child = qv_window_ref_child;
}

// ---- the top-level window type that carries it ----

struct QvSkinWindow {
    GtkWindow parent;
};
struct QvSkinWindowClass {
    GtkWindowClass parent_class;
};
G_DEFINE_TYPE(QvSkinWindow, qv_skin_window, GTK_TYPE_WINDOW)
static void qv_skin_window_init(QvSkinWindow*) {}
static void qv_skin_window_class_init(QvSkinWindowClass* klass) {
    gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass), qv_window_accessible_get_type());
}

namespace Toolkit {

GtkWidget* NewAccessibleWindow(GtkWindowHost* host) {
    GtkWidget* window = GTK_WIDGET(g_object_new(qv_skin_window_get_type(), "type", GTK_WINDOW_TOPLEVEL, nullptr));
    g_object_set_data(G_OBJECT(window), kHostKey, host);
    return window;
}

AccessibleControls::~AccessibleControls() { Clear(); }

AtkObject* AccessibleControls::Ref(CControlUI* control, AtkObject* parent) {
    auto it = objects_.find(control);
    if (it == objects_.end()) {
        double minimum, maximum, current;
        const GType type = control->HasClickAction()                                   ? qv_clickable_accessible_get_type()
                           : control->GetAccessibleValue(minimum, maximum, current) ? qv_value_accessible_get_type()
                                                                                     : qv_control_accessible_get_type();
        auto* object = ATK_OBJECT(g_object_new(type, nullptr));
        auto* self = QV_CONTROL_ACCESSIBLE(object);
        self->control = control;
        self->objects = this;
        atk_object_initialize(object, nullptr);
        atk_object_set_role(object, RoleOf(control->GetAccessibleRole()));
        it = objects_.emplace(control, object).first;
    }
    if (parent && atk_object_get_parent(it->second) != parent) atk_object_set_parent(it->second, parent);
    return ATK_OBJECT(g_object_ref(it->second));
}

void AccessibleControls::Removed(CControlUI* control) {
    auto it = objects_.find(control);
    if (it == objects_.end()) return;
    AtkObject* object = it->second;
    objects_.erase(it);
    QV_CONTROL_ACCESSIBLE(object)->control = nullptr;
    atk_object_notify_state_change(object, ATK_STATE_DEFUNCT, TRUE);
    g_object_unref(object);
}

void AccessibleControls::FocusMoved(CControlUI* from, CControlUI* to) {
    if (auto it = objects_.find(from); from && it != objects_.end())
        atk_object_notify_state_change(it->second, ATK_STATE_FOCUSED, FALSE);
    if (auto it = objects_.find(to); to && it != objects_.end())
        atk_object_notify_state_change(it->second, ATK_STATE_FOCUSED, TRUE);
}

void AccessibleControls::Clear() {
    while (!objects_.empty()) {
        auto it = objects_.begin();
        QV_CONTROL_ACCESSIBLE(it->second)->objects = nullptr;
        Removed(it->first);
    }
}

}  // namespace Toolkit
