#pragma once
// The Linux probe's mapping, apart so that it can be tested without a network.
#include <cstdint>

namespace Utils {

// From GLib's GNetworkConnectivity values (1 local, 2 limited, 3 portal, 4 full) and whether
// any network is available to the flags and verdict of CheckNetwork.
uint32_t ClassifyConnectivity(int gioConnectivity, bool networkAvailable);

}  // namespace Utils
