#include "config/LocaleTable.h"

#include "utils/StringUtils.h"
#include "utils/SystemLocale.h"

const std::map<int, std::wstring>& LocaleTable() {
    static const std::map<int, std::wstring> table = {
        {1025, L"ar-SA"}, {1026, L"bg-BG"}, {3076, L"zh-HK"},      {2052, L"zh-CN"},      {1028, L"zh-TW"},
        {1050, L"hr-HR"}, {1029, L"cs-CZ"}, {1030, L"da-DK"},      {1043, L"nl-NL"},      {1033, L"en-US"},
        {2057, L"en-GB"}, {1061, L"et-EE"}, {1035, L"fi-FI"},      {3084, L"fr-CA"},      {1036, L"fr-FR"},
        {1031, L"de-DE"}, {1032, L"el-GR"}, {1037, L"he-IL"},      {1053, L"sv-SE"},      {1055, L"tr-TR"},
        {1038, L"hu-HU"}, {1040, L"it-IT"}, {1041, L"ja-JP"},      {1042, L"ko-KR"},      {1062, L"lv-LV"},
        {1063, L"lt-LT"}, {1044, L"nb-NO"}, {1045, L"pl-PL"},      {1046, L"pt-BR"},      {2070, L"pt-PT"},
        {1048, L"ro-RO"}, {1049, L"ru-RU"}, {2074, L"sr-Latn-CS"}, {9242, L"sr-Latn-RS"}, {1051, L"sk-SK"},
        {1060, L"sl-SI"}, {2058, L"es-MX"}, {3082, L"es-ES"},      {1054, L"th-TH"},      {1058, L"uk-UA"},
    };
    return table;
}

int LcidForLocaleName(const std::wstring& localeName) {
    for (const auto& [lcid, name] : LocaleTable())
        if (name == localeName) return lcid;
    return 0;
}

uint16_t LanguageIdForPosixLocale(const std::string& posixLocale) {
    const auto [language, country] = Utils::LanguageAndCountryOf(posixLocale);
    if (language == "zh" && country == "TW") return 1028;
    if (language == "zh" && country == "HK") return 3076;
    if (language == "zh" && country == "MO") return 5124;
    if (language.empty()) return 1033;
    const int lcid = LcidForLocaleName(Utils::FromUtf8(language + "-" + country));
    return lcid ? static_cast<uint16_t>(lcid) : 1033;
}

uint16_t SystemDefaultLanguageId() {
    if (const auto id = Utils::SystemDefaultLangId()) return *id;
    return LanguageIdForPosixLocale(Utils::SystemPosixLocale());
}

uint16_t UserDefaultUiLanguageId() {
    if (const auto id = Utils::UserDefaultUiLangId()) return *id;
    return LanguageIdForPosixLocale(Utils::SystemPosixLocale());
}

std::atomic<uint16_t>& LanguageId() {
    static std::atomic<uint16_t> id{SystemDefaultLanguageId()};
    return id;
}
