#include "analytics/tracker/source/src/WindowsVersionText.h"

namespace varnel::tracking {

std::string WindowsVersionText(const WindowsVersion& v) {
    const bool wide = v.is64Bit;
    switch (v.major) {
        case 5:
            if (v.minor == 0) return "2K";
            if (v.minor == 1) return "XP";
            if (v.minor == 2) return wide ? "XP64" : (v.serverR2 ? "Server 2003 R2" : "Server 2003");
            return "XP+";
        case 6:
            if (v.minor == 0) return wide ? "Vista64" : "Vista";
            if (v.minor == 1) return wide ? "7" : "7-32";
            if (v.minor == 2) return wide ? "8" : "8-32";
            if (v.minor == 3) return "8.1";
            return "8.1+";
        case 10:
            return v.minor == 0 ? "10" : "10+";
        default:
            break;
    }
    if (v.major <= 4) return "XP-";
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.build);
}

}  // namespace varnel::tracking
