#pragma once
// The user's locale as the environment names it, for the installer's language choice and the
// analytics context. Only the variables are read: the process locale is never changed here.
#include <string>
#include <utility>

namespace Utils {

// The first of LC_ALL, LC_MESSAGES, LANG that is set and not empty, as a POSIX locale name
// ("zh_TW.UTF-8"); "" when none is.
std::string SystemPosixLocale();

// ISO 639 language and ISO 3166 country of a POSIX locale name: "zh_TW.UTF-8" -> {"zh", "TW"};
// empty parts when the name does not give them ("C", "POSIX", "").
std::pair<std::string, std::string> LanguageAndCountryOf(const std::string& posixLocale);
// The same for SystemPosixLocale().
std::pair<std::string, std::string> SystemLanguageAndCountry();

}  // namespace Utils
