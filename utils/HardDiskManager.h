#pragma once
// Free-space query of the volume that holds a folder.
#include <cstdint>
#include <string>

namespace Utils {

class HardDiskManager {
public:
    virtual ~HardDiskManager() = default;

    // Queries the volume of `path`, or of its nearest existing ancestor (a folder that is
    // yet to be created lies on the volume of its parent). True with the three counts
    // updated; false (counts unchanged, the error logged) on failure.
    bool CheckFreeSpace(const std::wstring& path);

    uint64_t AvailableToCaller() const { return available_; }
    uint64_t TotalBytes() const { return total_; }
    uint64_t FreeBytes() const { return free_; }

private:
    uint64_t available_ = 0;
    uint64_t total_ = 0;
    uint64_t free_ = 0;
};

}  // namespace Utils
