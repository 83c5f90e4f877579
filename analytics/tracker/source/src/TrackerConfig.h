#pragma once
// What the caller tells the tracker when it starts it (UsageTracker::start). All strings UTF-8;
// a default-constructed record has every string empty and the edition 0 (china).
#include <string>

namespace varnel::tracking {

struct TrackerConfig {
    std::string appName;       // required; also the application id and part of the file names
    std::string appVersion;    // required
    std::string appStore;      // required: the distribution channel
    std::string dlAppId;       // the product the installer downloads; may be empty
    std::string dlAppVersion;  // its version; may be empty
    std::string logFilePath;   // empty: "<appName>_VNSLog.txt" in the tracker's folder
    int edition = 0;           // VnEdition: 0 china, 1 overseas
    std::string serverUrl;     // empty: the default collection endpoint
};

}  // namespace varnel::tracking
