#pragma once
// The user's locale, for the installer's language choice and the analytics context. Only read:
// the process locale is never changed here.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace Utils {

// The user's locale as a POSIX locale name ("zh_TW.UTF-8"); "" when none is set. Linux: the
// first of LC_ALL, LC_MESSAGES, LANG that is set and not empty. Windows: the ISO language and
// country of the user's default locale joined by "_" ("zh_TW").
std::string SystemPosixLocale();

// The system's default language identifier where the system has one (Windows:
// GetSystemDefaultLangID); nothing on Linux, where it follows from the locale name.
std::optional<uint16_t> SystemDefaultLangId();

// ISO 639 language and ISO 3166 country of a POSIX locale name: "zh_TW.UTF-8" -> {"zh", "TW"};
// empty parts when the name does not give them ("C", "POSIX", "").
std::pair<std::string, std::string> LanguageAndCountryOf(const std::string& posixLocale);
// The same for SystemPosixLocale().
std::pair<std::string, std::string> SystemLanguageAndCountry();

}  // namespace Utils
