#include "utils/Network.h"
#include "utils/Network_posix.h"

#include <gio/gio.h>

#include "utils/Log.h"

namespace Utils {

uint32_t ClassifyConnectivity(int gioConnectivity, bool networkAvailable) {
    uint32_t flags = 0;
    if (networkAvailable) {
        if (gioConnectivity == G_NETWORK_CONNECTIVITY_FULL) flags = kConnectivityInternet;
        else if (gioConnectivity == G_NETWORK_CONNECTIVITY_LIMITED || gioConnectivity == G_NETWORK_CONNECTIVITY_PORTAL)
            flags = kConnectivityLocalNetwork;
    }
    return CombineConnectivity(flags, flags == kConnectivityInternet);
}

uint32_t CheckNetwork() {
    // The default monitor is a process-wide singleton owned by GIO; it is safe to query from
    // any thread.
    GNetworkMonitor* monitor = g_network_monitor_get_default();
    if (!monitor) return 0;
    return ClassifyConnectivity(static_cast<int>(g_network_monitor_get_connectivity(monitor)),
                                g_network_monitor_get_network_available(monitor) != FALSE);
}

}  // namespace Utils
