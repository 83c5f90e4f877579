#pragma once
// Windows language identifiers (LCIDs) and the locale names the skin's language folders use.
#include <atomic>
#include <cstdint>
#include <map>
#include <string>

// The fixed 40-row table from LCID to locale name ("en-US").
const std::map<int, std::wstring>& LocaleTable();

// The LCID of a locale name in the table (exact match), or 0.
int LcidForLocaleName(const std::wstring& localeName);

// The system's default language: the system's own identifier where it has one (Windows);
// otherwise from the user's locale name (Linux: the first of LC_ALL, LC_MESSAGES, LANG that is
// set, "zh_TW.UTF-8"): zh_TW is 1028, zh_HK 3076, zh_MO 5124, other names through the table
// ("de_DE" -> "de-DE" -> 1031); 1033 when nothing matches.
uint16_t SystemDefaultLanguageId();
uint16_t LanguageIdForPosixLocale(const std::string& posixLocale);
// The user's default user-interface language, by the same rules: the system's own identifier
// where it has one (Windows), otherwise from the user's locale name.
uint16_t UserDefaultUiLanguageId();

// The LCID in use, process-wide: starts as the system default, set to 1033 when the skin is
// opened and changed by the window when the user picks a language. Written by the window
// thread; atomic so that workers may read it.
std::atomic<uint16_t>& LanguageId();
