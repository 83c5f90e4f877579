#pragma once
// The anonymous id of an installation: a GUID written as 36 upper-case characters
// ("XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX"). When the GUID source fails ten times in a row the id
// is drawn from a Mersenne Twister instead, in a GUID-like layout of lower-case hexadecimal
// groups.
//
// The process-wide engine is seeded from the system's random device (the fixed default seed
// would give every installation without a GUID source the same "unique" id). Safe from any
// thread.
#include <array>
#include <cstdint>
#include <random>
#include <string>

#include "analytics/tracker/source/src/TrackerEnvironment.h"

namespace varnel::tracking {

class DistinctIdGenerator {
public:
    static constexpr int kGuidAttempts = 10;

    // A GUID from `source` (a null source or one that throws counts as failing), else the
    // fallback id of the process engine.
    static std::string NewId(const TrackerEnvironment::GuidSource& source);

    // "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X" of the bytes read as a GUID whose
    // 32- and 16-bit fields are stored most significant byte first.
    static std::string FormatGuid(const std::array<std::uint8_t, 16>& bytes);

    // Eight draws n1..n8 from 0 to 2147483646, written "%x%x-%x-%x-%x-%x%x%x" in reverse order:
    // n8 n7 - n6 - (n5 & 0xfff) | 0x4000 - (n4 % 0x3fff) + 0x8000 - n3 n2 n1.
    static std::string FallbackId(std::mt19937& engine);
};

}  // namespace varnel::tracking
