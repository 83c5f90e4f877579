#pragma once
// Connectivity probe for the pre-install network check. May block; call it on a worker thread.
#include <cstdint>

namespace Utils {

// Connectivity flags in the low 16 bits, a verdict in the high 16 bits.
inline constexpr uint32_t kConnectivityLocalNetwork = 0x20;  // some network, no Internet
inline constexpr uint32_t kConnectivityInternet = 0x40;
inline constexpr uint32_t kVerdictConnected = 0;
inline constexpr uint32_t kVerdictNoNetwork = 1;
inline constexpr uint32_t kVerdictNoInternet = 2;

// 0x40 with verdict 0 on full connectivity; 0x20 with verdict 2 on a limited network or a
// captive portal; 0 with verdict 1 without a network; 0 when no monitor is available.
uint32_t CheckNetwork();

// The mapping itself, from GLib's GNetworkConnectivity values (1 local, 2 limited, 3 portal,
// 4 full) and whether any network is available.
uint32_t ClassifyConnectivity(int gioConnectivity, bool networkAvailable);

}  // namespace Utils
