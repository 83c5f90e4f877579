#include "utils/Network.h"

#include "utils/Log.h"

namespace Utils {

uint32_t CombineConnectivity(uint32_t flags, bool internet) {
    flags &= 0xFFFF;
    uint32_t verdict = kVerdictConnected;
    if (flags == 0) {
        QLOG(L"GetConnectivity %d", static_cast<int>(flags));
        verdict = kVerdictNoNetwork;
    } else if (!internet) {
        QLOG(L"get_IsConnectedToInternet:%d", 0);
        verdict = kVerdictNoInternet;
    }
    return flags | (verdict << 16);
}

}  // namespace Utils
