#pragma once
// Shared helpers of the collection core tests: a running test collector with a temporary folder,
// standard-error capture, and numbered records that are easy to follow through the queue.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tools/collector/TestCollector.h"

namespace collecttest {

// Collects what the code under test writes to standard error while it lives.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    std::string Take();  // the text so far; capture ends

private:
    bool active_ = true;
};

// A started collector, a temporary folder, and no collection instance left behind.
class CollectorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string StagingFolder() const { return (temp_.path() / "state").string() + "/"; }

    testsupport::TempDir temp_;
    collector::TestCollector collector_;
};

// "{\"n\":<i>}": a minimal record whose number tells its place in the sequence.
std::string NumberedRecord(int i);
// The numbers of records shaped like NumberedRecord, in order.
std::vector<int> NumbersOf(const std::vector<std::string>& records);
std::vector<int> Range(int from, int to);  // [from, to)

// A port on 127.0.0.1 that nothing listens on (bound once, then released).
std::uint16_t UnusedPort();

// Makes the C runtime's local time UTC+8 (TZ "CST-8", POSIX-style, which both the POSIX C
// library and the Windows C runtime read without a zone database). Before any thread starts.
void UseTestTimeZone();

// Expects `path` to exist with exactly the permission bits `mode` (e.g. 0600) on POSIX systems.
// Windows has no such bits (a file takes the access list of its folder): there only the
// existence is checked.
void ExpectPermissions(const std::filesystem::path& path, unsigned mode);

}  // namespace collecttest
