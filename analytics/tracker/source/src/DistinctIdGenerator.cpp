#include "analytics/tracker/source/src/DistinctIdGenerator.h"

#include <chrono>
#include <cstdio>
#include <mutex>

namespace varnel::tracking {
namespace {

std::uint32_t RandomSeed() {
    try {
        std::random_device device;
        return device();
    } catch (...) {
        // No random device: the clock still keeps two installations apart.
        const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
        return static_cast<std::uint32_t>(ticks ^ (ticks >> 32));
    }
}

}  // namespace

std::string DistinctIdGenerator::NewId(const TrackerEnvironment::GuidSource& source) {
    if (source) {
        for (int attempt = 0; attempt < kGuidAttempts; ++attempt) {
            std::array<std::uint8_t, 16> bytes{};
            bool made = false;
            try {
                made = source(bytes);
            } catch (...) {
                made = false;
            }
            if (made) return FormatGuid(bytes);
        }
    }
    static std::mutex lock;
    static std::mt19937 engine(RandomSeed());
    std::lock_guard guard(lock);
    return FallbackId(engine);
}

std::string DistinctIdGenerator::FormatGuid(const std::array<std::uint8_t, 16>& b) {
    const unsigned long data1 = (static_cast<unsigned long>(b[0]) << 24) | (static_cast<unsigned long>(b[1]) << 16) |
                                (static_cast<unsigned long>(b[2]) << 8) | b[3];
    const unsigned data2 = (static_cast<unsigned>(b[4]) << 8) | b[5];
    const unsigned data3 = (static_cast<unsigned>(b[6]) << 8) | b[7];
    char text[40];
    std::snprintf(text, sizeof text, "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", data1, data2, data3, b[8],
                  b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

std::string DistinctIdGenerator::FallbackId(std::mt19937& engine) {
    std::uniform_int_distribution<std::uint32_t> draw(0, 2147483646u);
    std::uint32_t n[8];
    for (std::uint32_t& value : n) value = draw(engine);
    char text[96];
    std::snprintf(text, sizeof text, "%x%x-%x-%x-%x-%x%x%x", n[7], n[6], n[5], (n[4] & 0xfffu) | 0x4000u,
                  (n[3] % 0x3fffu) + 0x8000u, n[2], n[1], n[0]);
    return text;
}

}  // namespace varnel::tracking
