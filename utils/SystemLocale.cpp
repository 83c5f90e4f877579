#include "utils/SystemLocale.h"

namespace Utils {

std::pair<std::string, std::string> LanguageAndCountryOf(const std::string& posixLocale) {
    // language[_territory][.codeset][@modifier]
    const std::string base = posixLocale.substr(0, posixLocale.find_first_of(".@"));
    if (base == "C" || base == "POSIX") return {};
    const size_t underscore = base.find('_');
    if (underscore == std::string::npos) return {base, ""};
    return {base.substr(0, underscore), base.substr(underscore + 1)};
}

std::pair<std::string, std::string> SystemLanguageAndCountry() { return LanguageAndCountryOf(SystemPosixLocale()); }

}  // namespace Utils
