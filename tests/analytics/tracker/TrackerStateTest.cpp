// The tracker's files and the identity they keep across runs: folders, the "Base" and
// "UninstallInfo" keys, the redirection file, a changed endpoint, and how ids are made.
#include <gtest/gtest.h>


#include <regex>

#include "analytics/core/RecordStore.h"
#include "analytics/tracker/source/src/DistinctIdGenerator.h"
#include "analytics/tracker/source/src/TrackLogger.h"
#include "analytics/tracker/source/src/VnException.h"
#include "tests/analytics/tracker/TrackerTestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace varnel::tracking;
using trackertest::IniValue;
using trackertest::json;

const std::regex kGuid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
const std::regex kFallback("[0-9a-f]+-[0-9a-f]+-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]+");

class TrackerStateTest : public trackertest::TrackerTest {
protected:
    void WriteBase(const fs::path& file, const std::string& distinctId, const std::string& userId,
                   const std::string& loggedIn, const std::string& url) {
        fs::create_directories(file.parent_path());
        temp_.Write(fs::relative(file, temp_.path()).string(),
                    "[Base]\nDistinctId=" + distinctId + "\nUserId=" + userId + "\nUserVipLevel=3\nURL=" + url +
                        "\nisLogined=" + loggedIn + "\n");
    }
    // The distinct id of a track record sent by `tracker`.
    std::string SentIdentity(UsageTrackerImpl& tracker) {
        tracker.trackCrash("");
        const std::vector<json> records = Take();
        return records.empty() ? "<nothing sent>" : records.back()["distinct_id"].get<std::string>() +
                                                        (records.back()["properties"].contains("$is_login_id") ? "+login" : "");
    }
};

TEST_F(TrackerStateTest, FirstRunCreatesItsPrivateFolderWithStateUninstallInfoAndLog) {
    auto tracker = Start();
    const auto s = tracker->snapshot();
    EXPECT_TRUE(s.hasCore);
    EXPECT_EQ(s.localFolder, (TrackerFolder() / "").string());
    EXPECT_EQ(s.configFilePath, ConfigFile().string());
    EXPECT_TRUE(std::regex_match(s.distinctId, kGuid)) << s.distinctId;
    EXPECT_EQ(IniValue(ConfigFile(), "Base", "DistinctId"), s.distinctId);
    EXPECT_EQ(IniValue(ConfigFile(), "Base", "UserId"), "");
    EXPECT_EQ(IniValue(ConfigFile(), "Base", "UserVipLevel"), "0");
    EXPECT_EQ(IniValue(ConfigFile(), "Base", "URL"), collector_.Url());
    EXPECT_EQ(IniValue(ConfigFile(), "Base", "isLogined"), "NG");
    EXPECT_EQ(IniValue(ConfigFile(), "UninstallInfo", "AppStore"), "quorvex-installer");
    EXPECT_EQ(IniValue(ConfigFile(), "UninstallInfo", "AppName"), "Quorvex.downloader");
    EXPECT_EQ(IniValue(ConfigFile(), "UninstallInfo", "AppVersion"), "1.1.0");
    collecttest::ExpectPermissions(TrackerFolder(), 0700);
    collecttest::ExpectPermissions(ConfigFile(), 0600);
    ASSERT_NE(tracker->getTrackLogger(), nullptr);
    EXPECT_TRUE(tracker->getTrackLogger()->isOpen());
    EXPECT_EQ(s.logFilePath, (TrackerFolder() / "Quorvex.downloader_VNSLog.txt").string());
    EXPECT_TRUE(fs::exists(s.logFilePath));
}

TEST_F(TrackerStateTest, ALaterRunKeepsTheIdentityUntilTheEndpointChanges) {
    std::string first;
    {
        auto tracker = Start();
        first = tracker->snapshot().distinctId;
    }
    {
        auto tracker = Start();
        EXPECT_EQ(tracker->snapshot().distinctId, first);
        EXPECT_EQ(SentIdentity(*tracker), first);
    }
    WriteBase(ConfigFile(), "u-1", "u-1", "OK", collector_.Url());
    {
        auto tracker = Start();
        EXPECT_TRUE(tracker->snapshot().loggedIn);
        EXPECT_EQ(tracker->snapshot().vipLevel, 3);
        EXPECT_EQ(SentIdentity(*tracker), "u-1+login");
    }
    TrackerConfig other = Config();
    other.serverUrl = collector_.Url("/collect?project=pc&v=2");
    auto tracker = Start(other);
    const auto s = tracker->snapshot();
    EXPECT_FALSE(s.loggedIn);
    EXPECT_EQ(s.userId, "");
    EXPECT_TRUE(std::regex_match(s.distinctId, kGuid));
    EXPECT_NE(s.distinctId, first);
    EXPECT_EQ(IniValue(ConfigFile(), "Base", "URL"), other.serverUrl);
    EXPECT_EQ(IniValue(ConfigFile(), "Base", "isLogined"), "NG");
    EXPECT_EQ(SentIdentity(*tracker), s.distinctId);
}

TEST_F(TrackerStateTest, OnlyTheExactTextOKCountsAsLoggedIn) {
    // Profile values lose surrounding blanks unless quoted: "OK " needs its quotes to keep its blank.
    for (const std::string& text : {std::string("ok"), std::string("\"OK \""), std::string("NG")}) {
        WriteBase(ConfigFile(), "device-7", "u-7", text, collector_.Url());
        auto tracker = Start();
        EXPECT_FALSE(tracker->snapshot().loggedIn) << text;
        EXPECT_EQ(SentIdentity(*tracker), "device-7") << text;
    }
    WriteBase(ConfigFile(), "device-7", "", "OK", collector_.Url());
    auto tracker = Start();
    EXPECT_FALSE(tracker->snapshot().loggedIn) << "no user id, no login";
}

TEST_F(TrackerStateTest, AStoredIdTheServiceCannotTakeIsReplaced) {
    WriteBase(ConfigFile(), std::string(300, 'd'), std::string(256, 'u'), "OK", collector_.Url());
    auto tracker = Start();
    const auto s = tracker->snapshot();
    EXPECT_TRUE(s.hasCore) << "the core would refuse an id over 255 bytes";
    EXPECT_TRUE(std::regex_match(s.distinctId, kGuid));
    EXPECT_FALSE(s.loggedIn);
}

TEST_F(TrackerStateTest, SetIniFoundWithoutRegardToCaseRedirectsIntoANewFolder) {
    const fs::path target = temp_.path() / "data" / "VarNelData" / "Pelmora" / "VORazavedUvivorare.ini";
    temp_.Write("bin/SET.INI", "[Install]\nVORazavedUvivorareIni=" + target.string() + "\n");
    auto tracker = Start();
    const auto s = tracker->snapshot();
    EXPECT_EQ(s.configFilePath, target.string());
    EXPECT_EQ(s.localFolder, (target.parent_path() / "").string());
    EXPECT_EQ(IniValue(target, "Base", "DistinctId"), s.distinctId);
    EXPECT_FALSE(fs::exists(StateFolder() / "VNLocal"));
    EXPECT_TRUE(fs::exists(target.parent_path() / "Quorvex.downloader_VNSLog.txt"));
    VnContextProperties none;
    tracker->trackTask(VnEventTask{"", "queued", "", nullptr, nullptr}, &none);
    collector_.AnswerStatus(500);
    tracker.reset();  // release cannot send: the record waits beside the redirected file
    EXPECT_NE(testsupport::ReadFile(target.parent_path() / collect::RecordStore::kStagingFileName).find("queued"),
              std::string::npos);
}

TEST_F(TrackerStateTest, RedirectionWithWindowsSeparatorsIsTakenFromTheExecutablesFolder) {
    temp_.Write("bin/set.ini", "[install]\nvorazaveduvivorareini=conf\\tracker.ini\n");
    auto tracker = Start();
    EXPECT_EQ(tracker->snapshot().configFilePath, (ExecutableFolder() / "conf" / "tracker.ini").string());
    tracker.reset();
    temp_.Write("bin/set.ini", "[Install]\nVORazavedUvivorareIni=tracker.ini\n");
    tracker = Start();
    EXPECT_EQ(tracker->snapshot().configFilePath, ConfigFile().string()) << "a bare name is no redirection";
}

TEST_F(TrackerStateTest, AppNameCannotLeadTheFilesOutOfTheTrackersFolder) {
    TrackerConfig config = Config();
    config.appName = "../../escape";
    auto tracker = Start(config);
    const fs::path folder = StateFolder() / "VNLocal" / ".._.._escape";
    EXPECT_EQ(tracker->snapshot().localFolder, (folder / "").string());
    EXPECT_TRUE(fs::exists(folder / ".._.._escape_VNSConfigure.ini"));
    EXPECT_FALSE(fs::exists(temp_.path() / "escape"));
    config.appName = "..";
    tracker = Start(config);
    EXPECT_EQ(tracker->snapshot().localFolder, (StateFolder() / "VNLocal" / "__" / "").string());
}

TEST_F(TrackerStateTest, MissingRequiredSettingsStopTheSetUpBeforeAnyFileIsTouched) {
    for (const auto& [field, message] : std::vector<std::pair<std::string TrackerConfig::*, std::string>>{
             {&TrackerConfig::appName, "appName is empty"},
             {&TrackerConfig::appVersion, "appVersion is empty"},
             {&TrackerConfig::appStore, "appStore is empty"}}) {
        TrackerConfig config = Config();
        config.*field = "";
        UsageTrackerImpl tracker(config, Environment());
        try {
            tracker.init();
            ADD_FAILURE() << "set-up went on without " << message;
        } catch (const VnException& e) {
            EXPECT_EQ(e.message(), message);
            EXPECT_EQ(e.function(), "init");
        }
        EXPECT_EQ(tracker.getTrackLogger(), nullptr);
    }
    EXPECT_FALSE(fs::exists(StateFolder()));
}

TEST_F(TrackerStateTest, AnUnknownEditionLeavesOutTheCommonPropertiesButTheTrackerWorks) {
    TrackerConfig config = Config();
    config.edition = 5;
    UsageTrackerImpl tracker(config, Environment());
    try {
        tracker.init();
        ADD_FAILURE() << "edition 5 accepted";
    } catch (const VnException& e) {
        EXPECT_EQ(e.message(), "Unknown edition [5]!");
        EXPECT_EQ(e.function(), "toString");
    }
    EXPECT_EQ(IniValue(ConfigFile(), "UninstallInfo", "AppName"), "<missing>");
    tracker.trackCrash("x");
    const std::vector<json> records = Take();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["properties"], (json{{"$lib", "cpp"}, {"$lib_version", "0.7"}, {"app_crashed_reason", "x"}}));
}

TEST(DistinctIdGenerator_Ids, GuidTextAndTheFallbackAfterTenFailures) {
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 17);
    EXPECT_EQ(DistinctIdGenerator::FormatGuid(bytes), "00112233-4455-6677-8899-AABBCCDDEEFF");

    int calls = 0;
    const auto failNine = [&](std::array<std::uint8_t, 16>& out) {
        out.fill(0xAB);
        return ++calls >= 10;
    };
    EXPECT_EQ(DistinctIdGenerator::NewId(failNine), "ABABABAB-ABAB-ABAB-ABAB-ABABABABABAB");
    EXPECT_EQ(calls, 10);

    calls = 0;
    const auto fail = [&](std::array<std::uint8_t, 16>&) -> bool {
        ++calls;
        throw std::runtime_error("no GUID");
    };
    const std::string a = DistinctIdGenerator::NewId(fail);
    const std::string b = DistinctIdGenerator::NewId(fail);
    EXPECT_EQ(calls, 20);
    EXPECT_TRUE(std::regex_match(a, kFallback)) << a;
    EXPECT_NE(a, b);
    std::mt19937 defaultSeeded, again;
    const std::string fixed = DistinctIdGenerator::FallbackId(defaultSeeded);
    EXPECT_EQ(DistinctIdGenerator::FallbackId(again), fixed);
    EXPECT_TRUE(std::regex_match(fixed, kFallback)) << fixed;
    // Every installation without a GUID source would share this id if the engine kept its
    // default seed.
    EXPECT_NE(a, fixed);
}

}  // namespace
