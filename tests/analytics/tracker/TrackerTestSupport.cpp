#include "tests/analytics/tracker/TrackerTestSupport.h"

#include "analytics/core/Sdk.h"
#include "analytics/tracker/source/src/UsageTracker.h"
#include "utils/ProfileFile.h"
#include "utils/StringUtils.h"

namespace trackertest {

using namespace varnel::tracking;

const std::set<std::string>& CommonKeys() {
    static const std::set<std::string> keys = {
        "$lib",          "$lib_version",    "vn_app_id",      "$app_version",     "$app_id",
        "vn_app_store",  "vn_edition",      "vn_dlapp_id",    "vn_dlapp_version", "vn_app_platform",
        "vn_track_type", "vn_sdk_version",  "vn_sdk",         "$os",              "$os_version",
        "vn_l10n_locale", "vn_l10n_language", "vn_l10n_country", "$screen_height", "$screen_width",
        "vn_user_id",    "$is_login_id"};
    return keys;
}

void TrackerTest::SetUp() {
    CollectorTest::SetUp();
    std::filesystem::create_directories(ExecutableFolder());
}

void TrackerTest::TearDown() {
    UsageTracker::release();
    CollectorTest::TearDown();
}

TrackerConfig TrackerTest::Config() const {
    TrackerConfig config;
    config.appName = "Quorvex.downloader";
    config.appVersion = "1.1.0";
    config.appStore = "quorvex-installer";
    config.dlAppId = "Quorvex";
    config.serverUrl = collector_.Url();
    return config;
}

TrackerEnvironment TrackerTest::Environment() const {
    TrackerEnvironment env = TrackerEnvironment::System();
    env.executableFolder = ExecutableFolder();
    env.localStateFolder = StateFolder();
    env.screenWidth = 1920;
    env.screenHeight = 1080;
    env.systemLocale = [] { return std::pair<std::string, std::string>("zh", "CN"); };
    return env;
}

std::unique_ptr<UsageTrackerImpl> TrackerTest::Start() { return Start(Config()); }

std::unique_ptr<UsageTrackerImpl> TrackerTest::Start(const TrackerConfig& config) {
    auto tracker = std::make_unique<UsageTrackerImpl>(config, Environment());
    try {
        tracker->init();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "set-up failed: " << e.what();
    }
    return tracker;
}

std::vector<json> TrackerTest::Take() {
    std::vector<json> records = collector_.Records();
    collector_.ClearRecords();
    return records;
}

json TrackerTest::OnlyEvent(const std::string& event) {
    for (const json& r : collector_.Records())
        if (r.value("type", "") == "track") kept_.push_back(r);
    collector_.ClearRecords();
    json found;
    int count = 0;
    for (const json& r : kept_)
        if (r.value("event", "") == event) {
            found = r;
            ++count;
        }
    EXPECT_EQ(count, 1) << "records of " << event;
    return found;
}

json TrackerTest::Own(const json& record) {
    json own = json::object();
    for (const auto& [key, value] : record.at("properties").items())
        if (CommonKeys().count(key) == 0) own[key] = value;
    return own;
}

std::string IniValue(const std::filesystem::path& file, const std::string& section, const std::string& key) {
    const auto value = Utils::ProfileFile::Load(file).Get(Utils::FromUtf8(section), Utils::FromUtf8(key));
    return value ? Utils::ToUtf8(*value) : "<missing>";
}

}  // namespace trackertest
