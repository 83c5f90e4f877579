#include "app/ScreenSize.h"

#include <gdk/gdk.h>

namespace {

// A display connection of our own, closed when done.
struct DisplayConnection {
    GdkDisplay* display = gdk_display_open(nullptr);
    ~DisplayConnection() {
        if (display) gdk_display_close(display);
    }
};

}  // namespace

Utils::ScreenSize PrimaryMonitorSize() {
    DisplayConnection connection;
    if (!connection.display) return {};
    GdkMonitor* monitor = gdk_display_get_primary_monitor(connection.display);
    if (!monitor && gdk_display_get_n_monitors(connection.display) > 0)
        monitor = gdk_display_get_monitor(connection.display, 0);
    if (!monitor) return {};
    GdkRectangle area{};
    gdk_monitor_get_geometry(monitor, &area);
    const int scale = gdk_monitor_get_scale_factor(monitor);
    return {area.width * scale, area.height * scale};
}

void InstallScreenSizeProvider() { Utils::SetScreenSizeProvider(&PrimaryMonitorSize); }
