// Packages of 2 GiB and more: 64-bit lengths, ranges and resume offsets in every downloader.
// The source is a sparse file (a few MiB of data around the 2 GiB mark, holes elsewhere), and
// the libcurl downloaders resume from sparse partial files, so only a few MiB cross the wire.
// The multi-connection join keeps the holes, so no step writes gigabytes of zeros.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "download/CCurlDownloader.h"
#include "download/CMTCurlDownloader.h"
#include "download/CWinDownloader.h"
#include "tests/download/DownloadTestSupport.h"

using namespace DownloadTest;
using PackageServer::FaultRule;

namespace {

constexpr int64_t k2G = int64_t{1} << 31;
constexpr int64_t kLength = k2G + (3 << 20) + 123;
constexpr int64_t kHeadData = 64 << 10;        // data at [0, 64 KiB)
constexpr int64_t kTailFrom = k2G - (64 << 10);  // data from 64 KiB below 2 GiB to the end

std::string ReadRange(const std::string& path, int64_t offset, int64_t length) {
    std::ifstream in(NativePath(path), std::ios::binary);
    if (!in.seekg(offset)) return {};
    std::string data(static_cast<size_t>(length), '\0');
    in.read(data.data(), length);
    data.resize(static_cast<size_t>(in.gcount()));
    return data;
}

// Writes `data` at `offset` of an existing file, leaving the rest as it is.
void WriteAt(const std::string& path, const std::string& data, int64_t offset) {
    std::fstream file(NativePath(path), std::ios::binary | std::ios::in | std::ios::out);
    ASSERT_TRUE(file.seekp(offset));
    ASSERT_TRUE(file.write(data.data(), static_cast<std::streamsize>(data.size())));
}

// A new file of `size` bytes, all a hole (where the file system keeps holes).
void MakeHoleFile(const std::string& path, int64_t size) {
    { std::ofstream(NativePath(path), std::ios::binary | std::ios::trunc); }
    std::filesystem::resize_file(NativePath(path), static_cast<std::uintmax_t>(size));
}

// Makes `path` a sparse file of `size` bytes holding the source's bytes [from, from + size).
void SparseCopy(const std::string& source, const std::string& path, int64_t from, int64_t size) {
    MakeHoleFile(path, size);
    for (auto [begin, end] : {std::pair{int64_t{0}, kHeadData}, std::pair{kTailFrom, kLength}}) {
        const int64_t a = std::max(begin, from), b = std::min(end, from + size);
        if (a >= b) continue;
        WriteAt(path, ReadRange(source, a, b - a), a - from);
    }
}

bool SameAsSource(const std::string& source, const std::string& path) {
    return SizeOf(path) == kLength && ReadRange(path, 0, kHeadData) == ReadRange(source, 0, kHeadData) &&
           ReadRange(path, kTailFrom, kLength - kTailFrom) == ReadRange(source, kTailFrom, kLength - kTailFrom);
}

class LargeFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        files = new TempDir();
        WriteRandomFile(files->File("head"), kHeadData, 1);
        WriteRandomFile(files->File("tail"), kLength - kTailFrom, 2);
        MakeHoleFile(files->File("big.bin"), kLength);
        WriteAt(files->File("big.bin"), ReadFile(files->File("head")), 0);
        WriteAt(files->File("big.bin"), ReadFile(files->File("tail")), kTailFrom);
    }
    static void TearDownTestSuite() {
        delete files;
        files = nullptr;
    }
    std::string Source() const { return files->File("big.bin"); }

    static TempDir* files;
    TempDir out;
    TestServer server{files->Path()};
    EventLog events;
};

TempDir* LargeFileTest::files = nullptr;

TEST_F(LargeFileTest, CCurlDownloader_ResumesBeyondTwoGiB) {
    CCurlDownloader downloader(events.Callback(), Wide(server->FileUrl("big.bin")), out.WFile("big.bin"));
    const int64_t kept = k2G + (1 << 20);
    SparseCopy(Source(), out.File("big.bin.part"), 0, kept);
    // The rest crosses loopback in far less than the second between progress reports: a pause
    // after its first mebibyte makes sure that at least one is made.
    server->AddRule({FaultRule::Action::Stall, 1 << 20, 0, 2500, -1, 1});
    downloader.Start();
    ASSERT_TRUE(events.WaitFinal());
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    const auto gets = server.Gets();
    ASSERT_EQ(gets.size(), 1u);
    EXPECT_EQ(gets[0].range, "bytes=" + std::to_string(kept) + "-");
    EXPECT_TRUE(SameAsSource(Source(), out.File("big.bin")));
    // The percent counts the resumed bytes: every report is above 99 %, none above 100 %.
    const auto progress = events.ProgressValues();
    ASSERT_FALSE(progress.empty());
    for (double v : progress) {
        EXPECT_GT(v, 0.99);
        EXPECT_LE(v, 1.0);
    }
}

TEST_F(LargeFileTest, CMTCurlDownloader_RestartsBeyondTwoGiB) {
    // The address carries no digest (hashing 2 GiB twice would dominate the test): the range
    // checks and the joined content are what is verified here.
    const int64_t half = kLength / 2;
    const int64_t resumeAt = k2G + (512 << 10);
    // First run: part 0 breaks after 32 MiB (1.5 % reported), then both parts fail with 500.
    server->AddRule({FaultRule::Action::Drop, 32 << 20, 0, 0, 0, 1});
    server->AddRule({FaultRule::Action::Status, 0, 500, 0, -1, 40});
    CDownloader* self = nullptr;
    events.onEvent = [&](const Event& e) {
        if (e.code != DL_CODE_RETRY) return;
        // Between the runs: part 0 becomes complete, part 1 holds everything up to 2 GiB + 512 KiB.
        server->ClearFaults();
        server->ClearRequests();
        std::filesystem::resize_file(NativePath(out.File("big.bin_0")), static_cast<std::uintmax_t>(half));
        SparseCopy(Source(), out.File("big.bin_1"), half, resumeAt - half);
        self->Start();
    };
    CMTCurlDownloader downloader(events.Callback(), Wide(server->FileUrl("big.bin")), out.WFile("big.bin"));
    self = &downloader;
    downloader.Start();
    ASSERT_TRUE(events.WaitFinal(std::chrono::seconds(120)));
    EXPECT_EQ(events.Codes(),
              (std::vector<int>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_VERIFY, DL_CODE_SUCCESS}));
    const auto gets = server.Gets();
    ASSERT_EQ(gets.size(), 1u);
    EXPECT_EQ(gets[0].range, "bytes=" + std::to_string(resumeAt) + "-" + std::to_string(kLength - 1));
    EXPECT_TRUE(SameAsSource(Source(), out.File("big.bin")));
    EXPECT_FALSE(Exists(out.File("big.bin_0")));
    EXPECT_FALSE(Exists(out.File("big.bin_1")));
}

TEST_F(LargeFileTest, CWinDownloader_DownloadsBeyondTwoGiB) {
    CWinDownloader downloader(events.Callback(), Wide(server->FileUrl("big.bin")), out.WFile("big.bin"));
    downloader.Start();
    // Every byte crosses the wire here (the service cannot resume from a sparse file): about
    // half a minute under wine on a two-core machine. The service counts in 32 bits (wine's
    // count of the length ends at 2 GiB); the length and the progress are still exact.
    ASSERT_TRUE(events.WaitFinal(std::chrono::seconds(220)));
    EXPECT_EQ(events.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    const auto progress = events.ProgressValues();
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 1.0);
    EXPECT_TRUE(SameAsSource(Source(), out.File("big.bin")));
}

}  // namespace
