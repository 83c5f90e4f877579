// The staging file: loading in front of the queue, what is skipped, where it lives when the path
// names a folder, and records surviving a run without a collector.
#include <gtest/gtest.h>


#include <filesystem>
#include <nlohmann/json.hpp>

#include "analytics/core/RecordStore.h"
#include "analytics/core/Sdk.h"
#include "tests/analytics/core/CollectTestSupport.h"

namespace {

namespace fs = std::filesystem;
using collect::RecordStore;
using collect::Sdk;
using collecttest::NumberedRecord;
using collecttest::NumbersOf;
using collecttest::Range;
using testsupport::ReadFile;

class StagingTest : public collecttest::CollectorTest {
protected:
    std::vector<std::string> FolderEntries(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(StagingTest, ValidLinesGoInFrontOfTheQueueAndTheFileIsEmptied) {
    const fs::path file = temp_.Write("staging", "{\"n\":0}\n{\"n\":1}\nnot a record\n{\"n\":2} trailing\n{\"n\":3}\n");
    RecordStore store(collector_.Url(), file.string());
    store.Add(NumberedRecord(4));
    EXPECT_EQ(ReadFile(file), "{\"n\":0}\n{\"n\":1}\nnot a record\n{\"n\":2} trailing\n{\"n\":3}\n")
        << "adding never touches the file";
    EXPECT_TRUE(store.FlushAll());
    EXPECT_EQ(NumbersOf(collector_.RecordTexts()), (std::vector<int>{0, 1, 3, 4}));
    EXPECT_EQ(ReadFile(file), "");
}

TEST_F(StagingTest, OnlyTheNewestLinesThatFitAreLoaded) {
    std::string lines;
    for (int i = 0; i < 40; ++i) lines += NumberedRecord(i) + "\n";
    const fs::path file = temp_.Write("staging", lines);
    RecordStore store(collector_.Url(), file.string());
    for (int i = 100; i < 100 + 1000; ++i) store.Add(NumberedRecord(i));
    store.LoadStaging();
    const std::vector<int> numbers = NumbersOf(store.Snapshot());
    ASSERT_EQ(numbers.size(), 1024u);
    EXPECT_EQ(std::vector<int>(numbers.begin(), numbers.begin() + 24), Range(16, 40));
    EXPECT_EQ(numbers[24], 100);
    EXPECT_EQ(ReadFile(file), "");
    store.LoadStaging();  // only the first call reads
    EXPECT_EQ(store.Size(), 1024u);
}

TEST_F(StagingTest, AFolderPathKeepsTheFileInsideItUnderAFixedName) {
    const std::string folder = StagingFolder();  // ends with "/", does not exist yet
    {
        RecordStore store(collector_.Url(), folder);
        for (int i = 0; i < 3; ++i) store.Add(NumberedRecord(i));
        store.Shutdown();
    }
    const fs::path file = fs::path(folder) / RecordStore::kStagingFileName;
    EXPECT_EQ(ReadFile(file), "{\"n\":0}\n{\"n\":1}\n{\"n\":2}\n");
    collecttest::ExpectPermissions(file, 0600);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{RecordStore::kStagingFileName})
        << "no temporary file is left beside it";

    // Once the folder exists, naming it without the final "/" finds the same file.
    std::string withoutSlash = folder;
    withoutSlash.pop_back();
    RecordStore again(collector_.Url(), withoutSlash);
    EXPECT_EQ(again.StagingFilePath(), (fs::path(withoutSlash) / RecordStore::kStagingFileName).string());
    EXPECT_TRUE(again.FlushAll());
    EXPECT_EQ(NumbersOf(collector_.RecordTexts()), Range(0, 3));
    again.Shutdown();
    EXPECT_EQ(ReadFile(file), "");
}

TEST_F(StagingTest, ShutdownKeepsRecordsOfAnEarlierRunThatWereNeverLoaded) {
    const fs::path file = temp_.Write("staging", "{\"n\":0}\n{\"n\":1}\n");
    RecordStore store(collector_.Url(), file.string());
    store.Add(NumberedRecord(2));
    store.Shutdown();
    EXPECT_EQ(ReadFile(file), "{\"n\":0}\n{\"n\":1}\n{\"n\":2}\n");
}

TEST_F(StagingTest, AStagingFileThatCannotBeWrittenIsReported) {
    // A plain file where the staging folder should be: neither root nor anyone else can write there.
    temp_.Write("blocker", "not a folder");
    const std::string path = (temp_ / "blocker").string() + "/";
    RecordStore store(collector_.Url(), path);
    store.Add(NumberedRecord(1));
    collecttest::StderrCapture err;
    store.Shutdown();
    EXPECT_EQ(err.Take().rfind("EventCollect SDK staging file folder creation failed for " + (temp_ / "blocker").string(), 0),
              0u);
    EXPECT_EQ(ReadFile(temp_ / "blocker"), "not a folder");
}

TEST_F(StagingTest, RecordsSurviveAnUnreachableCollectorAndArriveExactlyOnce) {
    const std::uint16_t port = collector_.Port();
    const std::string url = collector_.Url();
    collector_.Stop();  // the collector is away for the first run

    ASSERT_TRUE(Sdk::Init(StagingFolder(), url, "device-1", false));
    for (int i = 0; i < 5; ++i) {
        collect::PropertiesNode p;
        p.SetNumber("seq", i);
        Sdk::Track("Step", p);
    }
    {
        collecttest::StderrCapture err;
        for (int attempt = 0; attempt < 3; ++attempt) EXPECT_FALSE(Sdk::Flush());
    }
    Sdk::Shutdown();
    const fs::path file = fs::path(StagingFolder()) / RecordStore::kStagingFileName;
    const std::string staged = ReadFile(file);
    EXPECT_EQ(std::count(staged.begin(), staged.end(), '\n'), 5);

    // The next run: the collector is back on the same address.
    collecttest::StderrCapture quiet;  // nothing expected, but keep any noise out of the log
    collector::TestCollector back;
    // Another program may have taken the port meanwhile; the records do not depend on the URL.
    const bool samePort = back.Start(port);
    ASSERT_TRUE(samePort || back.Start(0));
    ASSERT_TRUE(Sdk::Init(StagingFolder(), samePort ? url : back.Url(), "device-1", false));
    Sdk::Track("Step6");
    EXPECT_TRUE(Sdk::Flush());
    EXPECT_TRUE(Sdk::Flush());
    Sdk::Shutdown();
    ASSERT_TRUE(Sdk::Init(StagingFolder(), back.Url(), "device-1", false));
    EXPECT_TRUE(Sdk::Flush());
    Sdk::Shutdown();
    EXPECT_EQ(quiet.Take(), "");

    std::vector<std::string> seen;
    for (const auto& record : back.Records())
        seen.push_back(record["event"].get<std::string>() +
                       (record["properties"].contains("seq") ? std::to_string(record["properties"]["seq"].get<int>())
                                                             : std::string()));
    EXPECT_EQ(seen, (std::vector<std::string>{"Step0", "Step1", "Step2", "Step3", "Step4", "Step6"}));
    EXPECT_EQ(back.Requests().size(), 1u);
    EXPECT_EQ(ReadFile(file), "");
}

}  // namespace
