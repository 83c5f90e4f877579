#pragma once
// Shared ownership of the process-wide collection instance (collect::Sdk). Every tracker that
// set the instance up holds a lease; the instance is shut down (queued records go to the staging
// file) when the last lease goes. So a tracker that is still held somewhere cannot shut down the
// instance a newer tracker relies on, and vice versa.
//
// Acquire and the release of the last lease run on the set-up/release thread; the lock only
// orders leases among themselves (the instance's own rules still apply to its callers).
#include <memory>
#include <string>

namespace varnel::tracking {

class CollectCoreLease {
public:
    // A lease on the live instance, or a new instance (collect::Sdk::Init) with this staging
    // path, endpoint and identity. While an instance lives, a later call shares it unchanged.
    // Null when Init refuses the distinct id.
    static std::shared_ptr<CollectCoreLease> acquire(const std::string& stagingPath, const std::string& serverUrl,
                                                     const std::string& distinctId, bool isLoginId);

    ~CollectCoreLease();  // the last lease shuts the instance down
    CollectCoreLease(const CollectCoreLease&) = delete;
    CollectCoreLease& operator=(const CollectCoreLease&) = delete;

private:
    CollectCoreLease() = default;
};

}  // namespace varnel::tracking
