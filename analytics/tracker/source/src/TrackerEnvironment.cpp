#include "analytics/tracker/source/src/TrackerEnvironment.h"

#include "analytics/tracker/source/src/TrackerPlatform.h"
#include "utils/SystemInfo.h"
#include "utils/SystemLocale.h"

#ifndef QV_COLLECT_HOST
#error "QV_COLLECT_HOST must name the scheme and host of the collection endpoint"
#endif

namespace varnel::tracking {

std::string TrackerEnvironment::BuiltInServerUrl() {
    std::string host = QV_COLLECT_HOST;
    while (!host.empty() && host.back() == '/') host.pop_back();
    if (host.find("://") == std::string::npos) host = "https://" + host;
    return host + "/collect?project=pc";
}

TrackerEnvironment TrackerEnvironment::System() {
    TrackerEnvironment env;
    env.executableFolder = platform::ExecutableFolder();
    env.localStateFolder = platform::LocalStateFolder();
    env.defaultServerUrl = BuiltInServerUrl();
    env.createGuid = &platform::CreateGuidBytes;
    env.systemLocale = &Utils::SystemLanguageAndCountry;
    const Utils::ScreenSize screen = Utils::PrimaryScreenSize();
    env.screenWidth = screen.width;
    env.screenHeight = screen.height;
    return env;
}

}  // namespace varnel::tracking
