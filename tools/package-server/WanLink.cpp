#include "tools/package-server/WanLink.h"

#include <algorithm>
#include <limits>

namespace PackageServer {

void WanLink::SetRate(int64_t bytesPerSecond) {
    std::lock_guard lock(mutex_);
    rate_ = std::max<int64_t>(bytesPerSecond, 0);
}

void WanLink::SetLatencyMs(int milliseconds) {
    std::lock_guard lock(mutex_);
    latencyMs_ = std::max(milliseconds, 0);
}

int64_t WanLink::Rate() const {
    std::lock_guard lock(mutex_);
    return rate_;
}

int WanLink::LatencyMs() const {
    std::lock_guard lock(mutex_);
    return latencyMs_;
}

WanLink::Clock::time_point WanLink::Book(int64_t bytes, bool continuing) {
    const auto now = Clock::now();
    std::lock_guard lock(mutex_);
    if (rate_ <= 0 || bytes <= 0) return now;
    // Nanoseconds on the link; long double keeps large counts at low rates from overflowing.
    const auto busy = std::chrono::nanoseconds(
        static_cast<int64_t>(static_cast<long double>(bytes) * 1e9L / static_cast<long double>(rate_)));
    // A stream that comes back late is owed its lateness up to the slack; nothing else is owed
    // anything for the time the link stood idle.
    const auto earliest = continuing ? now - std::chrono::duration_cast<Clock::duration>(kSlack) : now;
    busyUntil_ = std::max(busyUntil_, earliest) + std::chrono::duration_cast<Clock::duration>(busy);
    return busyUntil_;
}

bool WanLink::ParseRate(const std::string& text, int64_t& bytesPerSecond) {
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits > 18) return false;  // 18 digits always fit an int64_t
    int64_t multiple = 1;
    const std::string suffix = text.substr(digits);
    if (suffix == "K" || suffix == "k") {
        multiple = int64_t{1} << 10;
    } else if (suffix == "M" || suffix == "m") {
        multiple = int64_t{1} << 20;
    } else if (suffix == "G" || suffix == "g") {
        multiple = int64_t{1} << 30;
    } else if (!suffix.empty()) {
        return false;
    }
    const int64_t count = std::stoll(text.substr(0, digits));
    if (count <= 0 || count > std::numeric_limits<int64_t>::max() / multiple) return false;
    bytesPerSecond = count * multiple;
    return true;
}

}  // namespace PackageServer
