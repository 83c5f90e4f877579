// The join's hole-preserving append and the digest computed while parts are still arriving.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "download/FileOps.h"
#include "download/StopSignal.h"
#include "download/StreamingDigest.h"
#include "tests/download/DownloadTestSupport.h"

using namespace DownloadTest;

namespace {

TEST(FileOps, CopyFileData_FailsOnAShortSourceAndCopiesRangesInPlace) {
    TempDir dir;
    {
        Utils::FileHandle source = Utils::FileHandle::OpenWrite(dir.File("source"));
        ASSERT_TRUE(source.WriteAll("abcdefgh", 8));
    }
    Utils::FileHandle target = Utils::FileHandle::OpenWrite(dir.File("target"));
    Utils::FileHandle source = Utils::FileHandle::OpenRead(dir.File("source"));
    EXPECT_FALSE(Download::AppendFileData(target, 0, source, 10));  // the source has only 8 bytes
    // Two pieces copied in any order land at their offsets.
    ASSERT_TRUE(Download::CopyFileData(target, 4, source, 4, 4));
    ASSERT_TRUE(Download::CopyFileData(target, 0, source, 0, 4));
    ASSERT_TRUE(target.Close());
    EXPECT_EQ(ReadFile(dir.File("target")).substr(0, 8), "abcdefgh");
    Utils::FileHandle none;
    EXPECT_FALSE(Download::CopyFileData(none, 0, source, 0, 1));
}

TEST(StreamingDigest, StreamingDigest_HashesPartsAsTheyGrow) {
    TempDir dir;
    WriteRandomFile(dir.File("whole"), 3'000'001, 5);
    const std::string whole = ReadFile(dir.File("whole"));
    const int64_t split = 1'234'567;
    std::atomic<int64_t> available0{0}, available1{0};
    Utils::FileHandle part0 = Utils::FileHandle::OpenAppend(dir.File("p0"));
    Utils::FileHandle part1 = Utils::FileHandle::OpenAppend(dir.File("p1"));
    Download::StreamingDigest digest({{dir.File("p0"), split, &available0},
                                      {dir.File("p1"), static_cast<int64_t>(whole.size()) - split, &available1}});
    // Two writers, as two connections would: part 1 runs ahead of part 0.
    auto writer = [&whole](Utils::FileHandle& file, std::atomic<int64_t>& available, size_t from, size_t to) {
        for (size_t at = from; at < to; at += 10007) {
            const size_t n = std::min<size_t>(10007, to - at);
            ASSERT_TRUE(file.WriteAll(whole.data() + at, n));
            available.fetch_add(static_cast<int64_t>(n), std::memory_order_release);
        }
    };
    std::thread second(writer, std::ref(part1), std::ref(available1), split, whole.size());
    std::thread first(writer, std::ref(part0), std::ref(available0), 0, split);
    first.join();
    second.join();
    EXPECT_EQ(digest.Finish(), Md5Of(dir.File("whole")));
}

TEST(StreamingDigest, StreamingDigest_CancelOrUnreadableGivesNothing) {
    TempDir dir;
    std::atomic<int64_t> never{0};
    Download::StreamingDigest waiting({{dir.File("missing"), 10, &never}});
    waiting.Cancel();
    EXPECT_EQ(waiting.Finish(), "");
    {
        Utils::FileHandle f = Utils::FileHandle::OpenAppend(dir.File("short"));
        ASSERT_TRUE(f.WriteAll("ab", 2));
    }
    std::atomic<int64_t> claimed{10};  // claims more bytes than the file has
    Download::StreamingDigest shortFile({{dir.File("short"), 10, &claimed}});
    EXPECT_EQ(shortFile.Finish(), "");
}

}  // namespace

namespace {

TEST(StopSignal, AWaitEndsAtOnceWhenStopped) {
    Download::StopSignal stop;
    EXPECT_TRUE(stop.WaitFor(20));  // nobody stops: the whole time passes
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.Raise();
    });
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(stop.WaitFor(10000));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
    stopper.join();
    EXPECT_FALSE(stop.WaitFor(10000));  // stays raised
    EXPECT_TRUE(stop.IsRaised());
}

}  // namespace
