#pragma once
// The short Windows version text that the tracker's events carry in "$os_version" and in the
// user agent: "10", "7" on a 64-bit Windows 7 and "7-32" on a 32-bit one, and so on. A pure
// function of the version numbers, so that every row is checked on any build machine.
#include <cstdint>
#include <string>

namespace varnel::tracking {

struct WindowsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;  // the low 16 bits of the NT build number
    bool is64Bit = false;     // the system (not the process) is 64-bit
    bool serverR2 = false;    // GetSystemMetrics(SM_SERVERR2) is not zero
};

// "XP-" for versions 4 and below (and when the numbers could not be read: all 0).
std::string WindowsVersionText(const WindowsVersion& version);

}  // namespace varnel::tracking
