#include "analytics/tracker/source/src/CommonProperties.h"

#include "analytics/tracker/source/src/VnEnums.h"

namespace varnel::tracking {

collect::PropertiesNode CommonProperties::build(const CommonPropertyInputs& in, const LocaleTexts& locale) {
    collect::PropertiesNode p;
    p.SetString("vn_app_id", in.appName);
    p.SetString("$app_version", in.appVersion);
    p.SetString("$app_id", in.appName);
    p.SetString("vn_app_store", in.appStore);
    p.SetString("vn_edition", toString(static_cast<VnEdition>(in.edition)));
    if (!in.dlAppId.empty()) p.SetString("vn_dlapp_id", in.dlAppId);
    if (!in.dlAppVersion.empty()) p.SetString("vn_dlapp_version", in.dlAppVersion);
    p.SetString("vn_app_platform", in.appPlatform);
    p.SetString("vn_track_type", kTrackType);
    p.SetString("vn_sdk_version", kSdkVersion);
    p.SetString("vn_sdk", in.sdkName);
    p.SetString("$os", in.osName);
    p.SetString("$os_version", in.osVersion);
    addLocale(p, locale);
    p.SetNumber("$screen_height", static_cast<std::int32_t>(in.screenHeight));
    p.SetNumber("$screen_width", static_cast<std::int32_t>(in.screenWidth));
    if (!in.userId.empty()) p.SetString("vn_user_id", in.userId);
    return p;
}

LocaleTexts CommonProperties::resolveLocale(const std::string& storedLocale,
                                            const TrackerEnvironment::LocaleSource& system) {
    LocaleTexts texts;
    const std::size_t underscore = storedLocale.find('_');
    if (!storedLocale.empty() && underscore != std::string::npos) {
        texts.language = storedLocale.substr(0, underscore);
        texts.country = storedLocale.substr(underscore + 1);
        texts.locale = storedLocale;
    }
    if (texts.language.empty() && system) {
        const auto [language, country] = system();
        if (!language.empty() && !country.empty()) {
            texts.language = language;
            texts.country = country;
            texts.locale = language + "_" + country;
        }
    }
    return texts;
}

void CommonProperties::addLocale(collect::PropertiesNode& properties, const LocaleTexts& locale) {
    properties.SetString("vn_l10n_locale", locale.locale);
    properties.SetString("vn_l10n_language", locale.language);
    properties.SetString("vn_l10n_country", locale.country);
}

}  // namespace varnel::tracking
