#pragma once
// The tracker's identity and files, and the part of it that outlives a run: the "Base" section
// of the tracker's configuration file (an INI file):
//
//   [Base]           DistinctId, UserId, UserVipLevel (decimal), URL, isLogined ("OK" or "NG")
//   [UninstallInfo]  AppStore, AppName, AppVersion of the latest set-up (written, never read)
//
// Owned by UsageTrackerImpl, which serialises every access except to `pending` (atomic).
#include <atomic>
#include <cstddef>
#include <string>

namespace varnel::tracking {

class TrackerState {
public:
    // Values longer than this (in characters) are cut when read: enough for any path or URL,
    // small enough that a damaged file cannot make the tracker hold megabytes.
    static constexpr std::size_t kMaxValueChars = 4096;

    bool loggedIn = false;      // "isLogined"
    std::string userId;         // "UserId"
    std::string distinctId;     // "DistinctId": the installation's id, later the login id
    int vipLevel = 0;           // "UserVipLevel"
    std::string logFilePath;
    std::string locale;         // from setL10nLocale; memory only
    std::string localFolder;    // the tracker's folder, with a trailing "/"
    std::string configFilePath;
    std::string storedUrl;      // "URL": the endpoint the stored ids belong to
    std::atomic<int> pending{0};  // above 0 while queued records may wait for a flush

    // Starts from an anonymous, logged-out state and reads the "Base" keys when the file
    // exists. "isLogined" counts only when it is exactly "OK". An id the collection service
    // could not take (empty, over 255 bytes) is treated as absent, so a damaged file leads to a
    // fresh identity instead of a tracker without its core.
    void load();

    // Writes the five "Base" keys in one atomic replacement of the file (mode 0600 when new).
    bool save() const;

    // Writes the "UninstallInfo" keys.
    bool saveUninstallInfo(const std::string& appStore, const std::string& appName,
                           const std::string& appVersion) const;
};

}  // namespace varnel::tracking
