#pragma once
// The properties the tracker registers once with the collection core (super properties), so that
// every event carries them: the application, the downloaded product, the system, the locale,
// the screen and the logged-in user. Pure functions of their inputs; safe from any thread.
#include <string>

#include "analytics/core/PropertiesNode.h"
#include "analytics/tracker/source/src/TrackerEnvironment.h"

namespace varnel::tracking {

struct LocaleTexts {
    std::string locale;    // "zh_CN"
    std::string language;  // "zh"
    std::string country;   // "CN"
};

struct CommonPropertyInputs {
    std::string appName;
    std::string appVersion;
    std::string appStore;
    std::string dlAppId;       // left out when empty
    std::string dlAppVersion;  // left out when empty
    int edition = 0;
    std::string appPlatform;   // "Linux"
    std::string sdkName;       // "LinuxCPP"
    std::string osName;
    std::string osVersion;
    int screenWidth = 0;
    int screenHeight = 0;
    std::string userId;        // left out when empty
};

class CommonProperties {
public:
    static constexpr char kTrackType[] = "Client";
    static constexpr char kSdkVersion[] = "3.3.4";

    // Every common property, the locale keys included. Throws VnException (from toString) for
    // an edition other than 0 or 1.
    static collect::PropertiesNode build(const CommonPropertyInputs& inputs, const LocaleTexts& locale);

    // The locale rule: a stored locale with "_" splits into language and country at the first
    // "_"; otherwise the system's language and country when both are known ("en" + "_" + "US");
    // otherwise all three empty.
    static LocaleTexts resolveLocale(const std::string& storedLocale, const TrackerEnvironment::LocaleSource& system);

    // "vn_l10n_locale", "vn_l10n_language" and "vn_l10n_country", empty values included.
    static void addLocale(collect::PropertiesNode& properties, const LocaleTexts& locale);
};

}  // namespace varnel::tracking
