#include "analytics/tracker/source/src/CollectCoreLease.h"

#include <mutex>

#include "analytics/core/Sdk.h"

namespace varnel::tracking {
namespace {

std::mutex g_lock;
int g_leases = 0;  // guarded by g_lock; the instance is ours while this is above 0

}  // namespace

std::shared_ptr<CollectCoreLease> CollectCoreLease::acquire(const std::string& stagingPath, const std::string& serverUrl,
                                                            const std::string& distinctId, bool isLoginId) {
    std::lock_guard guard(g_lock);
    // Someone outside the leases may have shut the instance down: then it is set up again.
    const bool live = g_leases > 0 && collect::Sdk::IsInitialized();
    if (!live && !collect::Sdk::Init(stagingPath, serverUrl, distinctId, isLoginId)) return nullptr;
    ++g_leases;
    return std::shared_ptr<CollectCoreLease>(new CollectCoreLease());
}

CollectCoreLease::~CollectCoreLease() {
    std::lock_guard guard(g_lock);
    if (--g_leases == 0) collect::Sdk::Shutdown();
}

}  // namespace varnel::tracking
