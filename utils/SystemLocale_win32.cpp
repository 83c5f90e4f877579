#include "utils/SystemLocale.h"

#include "utils/StringUtils.h"
#include "utils/WindowsApi_win32.h"

namespace Utils {
namespace {

// One ISO name of the user's default locale; "" when the system does not give it.
std::string LocaleText(LCTYPE what) {
    wchar_t buffer[16] = {};
    const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, what, buffer, 16);
    if (n <= 1) return {};
    return ToUtf8(std::wstring_view(buffer, static_cast<size_t>(n - 1)));
}

}  // namespace

std::string SystemPosixLocale() {
    const std::string language = LocaleText(LOCALE_SISO639LANGNAME);
    const std::string country = LocaleText(LOCALE_SISO3166CTRYNAME);
    if (language.empty() || country.empty()) return {};
    return language + "_" + country;
}

std::optional<uint16_t> SystemDefaultLangId() { return static_cast<uint16_t>(GetSystemDefaultLangID()); }

}  // namespace Utils
