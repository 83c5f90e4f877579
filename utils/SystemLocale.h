#pragma once
// The user's locale, for the installer's language choice and the analytics context. The process
// locale is never changed here; SetThreadLanguage changes the calling thread's only.
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

// The user's default user-interface language where the system has one (Windows:
// GetUserDefaultUILanguage); nothing on Linux, where it follows from the locale name.
std::optional<uint16_t> UserDefaultUiLangId();

// Makes `lcid` the calling thread's locale and user-interface language (Windows: SetThreadLocale
// and SetThreadUILanguage), so that the system's own texts and formats on this thread follow the
// user's language choice; false when the system refuses either. Linux threads have no language
// of their own: nothing changes, and the caller's record of the choice is all there is.
bool SetThreadLanguage(uint16_t lcid);

// ISO 639 language and ISO 3166 country of a POSIX locale name: "zh_TW.UTF-8" -> {"zh", "TW"};
// empty parts when the name does not give them ("C", "POSIX", "").
std::pair<std::string, std::string> LanguageAndCountryOf(const std::string& posixLocale);
// The same for SystemPosixLocale().
std::pair<std::string, std::string> SystemLanguageAndCountry();

}  // namespace Utils
