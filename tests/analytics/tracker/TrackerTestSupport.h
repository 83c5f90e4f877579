#pragma once
// Shared helpers of the tracker tests: a running test collector, private executable and state
// folders for the tracker, a tracker built against them, and the records the collector kept.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "analytics/tracker/source/src/UsageTrackerImpl.h"
#include "tests/analytics/core/CollectTestSupport.h"

namespace trackertest {

using nlohmann::json;

// The keys every track record carries from the tracker's common properties and the core.
const std::set<std::string>& CommonKeys();

class TrackerTest : public collecttest::CollectorTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // "Quorvex.downloader" 1.1.0 from store "quorvex-installer", downloading "Quorvex", sending
    // to the collector.
    varnel::tracking::TrackerConfig Config() const;
    // The private folders, a fixed locale (zh_CN) and screen (1920 x 1080).
    varnel::tracking::TrackerEnvironment Environment() const;
    // A tracker after init (its set-up failure fails the test).
    std::unique_ptr<varnel::tracking::UsageTrackerImpl> Start();
    std::unique_ptr<varnel::tracking::UsageTrackerImpl> Start(const varnel::tracking::TrackerConfig& config);

    // The records the collector kept since the last call, parsed; the collector forgets them.
    std::vector<json> Take();
    // The one kept track record of `event` (fails the test otherwise).
    json OnlyEvent(const std::string& event);
    // Its properties without the common ones.
    static json Own(const json& record);

    std::filesystem::path ExecutableFolder() const { return temp_.path() / "bin"; }
    std::filesystem::path StateFolder() const { return temp_.path() / "state"; }
    // The default tracker folder for the test's application name.
    std::filesystem::path TrackerFolder() const { return StateFolder() / "VNLocal" / "Quorvex.downloader"; }
    std::filesystem::path ConfigFile() const { return TrackerFolder() / "Quorvex.downloader_VNSConfigure.ini"; }

    std::vector<json> kept_;  // records taken but not yet looked at
};

// Reads "section/key" from an INI file with the profile module's rules.
std::string IniValue(const std::filesystem::path& file, const std::string& section, const std::string& key);

}  // namespace trackertest
