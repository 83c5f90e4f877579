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

// On Windows the flags are the network list manager's NLM_CONNECTIVITY bits; any thread may ask:
// one without COM is in a single-threaded apartment for the length of the call. Verdict 1 without any connectivity, 2 with some but not
// to the Internet, 0 with the Internet; the whole value is 0 when no probe is available.
// On Linux: 0x40 with verdict 0 on full connectivity; 0x20 with verdict 2 on a limited network
// or a captive portal; 0 with verdict 1 without a network.
uint32_t CheckNetwork();

// The verdict for the flags and the system's word on the Internet, logged as the trace wants it.
uint32_t CombineConnectivity(uint32_t flags, bool internet);

}  // namespace Utils
