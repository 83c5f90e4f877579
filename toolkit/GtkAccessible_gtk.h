#pragma once
// Screen-reader access to a skinned window. A window drawn entirely by the toolkit is one
// opaque widget to assistive technology, so the host's top-level is a GtkWindow subclass whose
// ATK object adds the window's controls: each visible control an accessible object with its
// role, name (the text shown), states (focused, checked, sensitive, showing) and screen
// extents, and for buttons and check boxes a "click" action that does what a mouse click does.
// AT-SPI reaches these objects through GTK's accessibility bridge.
//
// Thread: the GTK main thread.
#include <gtk/gtk.h>

#include <map>

namespace Toolkit {

class CControlUI;
class GtkWindowHost;

// A new undecorated-capable top-level whose accessible object lists `host`'s controls.
GtkWidget* NewAccessibleWindow(GtkWindowHost* host);

// The accessible objects of one window's controls, made on demand and dropped with their
// controls.
class AccessibleControls {
public:
    explicit AccessibleControls(GtkWindowHost& host) : host_(host) {}
    ~AccessibleControls();
    AccessibleControls(const AccessibleControls&) = delete;
    AccessibleControls& operator=(const AccessibleControls&) = delete;

    // The object of `control` (a new reference), parented to `parent`.
    AtkObject* Ref(CControlUI* control, AtkObject* parent);
    // A control is going away: its object becomes defunct.
    void Removed(CControlUI* control);
    void FocusMoved(CControlUI* from, CControlUI* to);
    void Clear();
    GtkWindowHost& Host() const { return host_; }

private:
    GtkWindowHost& host_;
    std::map<CControlUI*, AtkObject*> objects_;  // one reference each
};

}  // namespace Toolkit
