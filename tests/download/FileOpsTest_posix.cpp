// The join's append keeps the holes of a sparse part file (SEEK_DATA / SEEK_HOLE).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "download/FileOps.h"
#include "tests/download/DownloadTestSupport.h"

using namespace DownloadTest;

namespace {

TEST(FileOps, AppendFileData_CopiesDataAndKeepsHoles) {
    TempDir dir;
    const std::string head(5000, 'h'), a(4096, 'a'), b(777, 'b');
    {
        Utils::FileHandle target = Utils::FileHandle::OpenWrite(dir.File("target"));
        ASSERT_TRUE(target.WriteAll(head.data(), head.size()));
    }
    // Source: data, a 64 MiB hole, data, then a trailing hole.
    const int64_t gap = int64_t{64} << 20;
    const int64_t length = 4096 + gap + 777 + 100000;
    {
        Utils::FileHandle source = Utils::FileHandle::OpenWrite(dir.File("source"));
        ASSERT_TRUE(source.WriteAll(a.data(), a.size()));
        ASSERT_EQ(::pwrite(source.Native(), b.data(), b.size(), 4096 + gap), 777);
        ASSERT_EQ(::ftruncate(source.Native(), length), 0);
    }
    Utils::FileHandle target = Utils::FileHandle::OpenWrite(dir.File("target"));
    Utils::FileHandle source = Utils::FileHandle::OpenRead(dir.File("source"));
    ASSERT_TRUE(Download::AppendFileData(target, 5000, source, length));
    ASSERT_TRUE(target.Close());

    EXPECT_EQ(SizeOf(dir.File("target")), 5000 + length);
    const std::string joined = ReadFile(dir.File("target"));
    EXPECT_EQ(joined.substr(0, 5000), head);
    EXPECT_EQ(joined.substr(5000, 4096), a);
    EXPECT_EQ(joined.substr(5000 + 4096 + gap, 777), b);
    EXPECT_EQ(joined.find_first_not_of('\0', 5000 + 4096), static_cast<size_t>(5000 + 4096 + gap));
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("target").c_str(), &st), 0);
    EXPECT_LT(st.st_blocks * 512, int64_t{4} << 20) << "the hole was written out";
}

}  // namespace
