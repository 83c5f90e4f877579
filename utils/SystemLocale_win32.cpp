#include "utils/SystemLocale.h"

#include "utils/Log.h"
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

std::optional<uint16_t> UserDefaultUiLangId() { return static_cast<uint16_t>(GetUserDefaultUILanguage()); }

bool SetThreadLanguage(uint16_t lcid) {
    bool ok = true;
    if (!SetThreadLocale(MAKELCID(lcid, SORT_DEFAULT))) {
        QLOG(L"SetThreadLocale(%u) failed: %lu\r\n", static_cast<unsigned>(lcid), GetLastError());
        ok = false;
    }
    // Returns the language it set, or 0 when it refused.
    if (SetThreadUILanguage(lcid) != lcid) {
        QLOG(L"SetThreadUILanguage(%u) failed: %lu\r\n", static_cast<unsigned>(lcid), GetLastError());
        ok = false;
    }
    return ok;
}

}  // namespace Utils
