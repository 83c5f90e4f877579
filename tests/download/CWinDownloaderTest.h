#pragma once
// The fixture of the system-URL downloader's tests on every system: a 3 MiB package served by
// the package server from `dir`, downloads written to `out`, the downloader's events recorded.
#include <gtest/gtest.h>

#include "tests/download/DownloadTestSupport.h"

namespace DownloadTest {

class CWinDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override { WriteRandomFile(dir.File("pkg.bin"), 3 << 20, 21); }
    TempDir dir;
    TempDir out;
    TestServer server{dir.Path()};
    EventLog events;
};

// The bodies as each system's downloader receives them (its own test file), on the same fixture.
using CWinDownloaderBody = CWinDownloaderTest;

}  // namespace DownloadTest
