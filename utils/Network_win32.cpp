// The network probe on Windows: the network list manager.
#include "utils/Network.h"

#include "utils/WindowsApi_win32.h"
#include "utils/WinResource_win32.h"
#include <netlistmgr.h>

namespace Utils {

uint32_t CheckNetwork() {
    // The probe runs on workers and on the unattended path, which have no apartment of their
    // own: without one the manager cannot be created. A thread that has one keeps it.
    const win::ComApartment apartment;
    if (!apartment.Usable()) return 0;
    uint32_t result = 0;
    {
        win::ComPtr<INetworkListManager> manager;
        if (FAILED(CoCreateInstance(CLSID_NetworkListManager, nullptr, CLSCTX_ALL, IID_INetworkListManager,
                                    manager.ReceiveVoid())) ||
            !manager)
            return 0;
        NLM_CONNECTIVITY connectivity = NLM_CONNECTIVITY_DISCONNECTED;
        if (FAILED(manager->GetConnectivity(&connectivity))) connectivity = NLM_CONNECTIVITY_DISCONNECTED;
        const auto flags = static_cast<uint32_t>(connectivity);
        // The IsConnectedToInternet property (its getter is get_IsConnectedToInternet in the
        // Windows SDK's headers, IsConnectedToInternet in mingw-w64's).
        VARIANT_BOOL internet = VARIANT_FALSE;
        if ((flags & 0xFFFF) != 0 && FAILED(manager->IsConnectedToInternet(&internet))) internet = VARIANT_FALSE;
        result = CombineConnectivity(flags, internet != VARIANT_FALSE);
    }
    CoFreeUnusedLibraries();
    return result;
}

}  // namespace Utils
