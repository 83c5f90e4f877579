// Kept apart from the toolkit's headers: Xlib's macros (MapNotify, ...) clash with its names.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

unsigned long XidOf(GtkWidget* widget) { return gdk_x11_window_get_xid(gtk_widget_get_window(widget)); }
