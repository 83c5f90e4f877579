#include "analytics/tracker/source/src/TrackerEnvironment.h"

#include "analytics/tracker/source/src/TrackerPlatform.h"

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
    env.systemLocale = &platform::UserLanguageAndCountry;
    const auto [width, height] = platform::PrimaryScreenSize();
    env.screenWidth = width;
    env.screenHeight = height;
    return env;
}

}  // namespace varnel::tracking
