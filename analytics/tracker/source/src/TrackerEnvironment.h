#pragma once
// The parts of the machine the tracker reads at set-up, gathered so that a test (or another
// host) can point the tracker at its own folders and sources instead of the running user's.
// System() describes the running process; every field may be replaced before UsageTracker::start.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

namespace varnel::tracking {

struct TrackerEnvironment {
    // 16 random bytes of a new GUID, or false when none could be made.
    using GuidSource = std::function<bool(std::array<std::uint8_t, 16>&)>;
    // ISO 639 language and ISO 3166 country of the user's locale; an empty part means unknown.
    using LocaleSource = std::function<std::pair<std::string, std::string>()>;

    // Where the redirection file "Set.ini" is looked for: the running executable's folder.
    // Empty: no redirection.
    std::filesystem::path executableFolder;
    // The base of the tracker's default folder "<base>/VNLocal/<appName>/" ($XDG_STATE_HOME, or
    // the local application data folder on Windows).
    std::filesystem::path localStateFolder;
    // The primary screen's size in pixels, 0 when unknown (System() asks the platform: on Linux
    // Utils::PrimaryScreenSize, which the entry point connects to the desktop).
    int screenWidth = 0;
    int screenHeight = 0;
    // The default collection endpoint, used when TrackerConfig::serverUrl is empty.
    std::string defaultServerUrl;
    // Null selects the system's source.
    GuidSource createGuid;
    LocaleSource systemLocale;

    // The running process: the executable's folder, the tracker's base folder, the screen size,
    // the built-in endpoint, the system's GUIDs and the user's locale.
    static TrackerEnvironment System();

    // The built-in collection endpoint: the configured host + "/collect?project=pc" (HTTPS when
    // the host names no scheme).
    static std::string BuiltInServerUrl();
};

}  // namespace varnel::tracking
