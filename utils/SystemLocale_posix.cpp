#include "utils/SystemLocale.h"

#include <cstdlib>

namespace Utils {

std::string SystemPosixLocale() {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) return v;
    }
    return {};
}

// The language identifier comes from the locale name (see the language table of the settings).
std::optional<uint16_t> SystemDefaultLangId() { return std::nullopt; }
std::optional<uint16_t> UserDefaultUiLangId() { return std::nullopt; }

bool SetThreadLanguage(uint16_t) { return true; }

}  // namespace Utils
