// The join's append keeps the holes of a sparse part file (SEEK_DATA / SEEK_HOLE).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "download/FileOps.h"
#include "tests/download/DownloadTestSupport.h"
#include "tests/download/SparseJoin.h"

using namespace DownloadTest;

namespace {

TEST(FileOps, AppendFileData_CopiesDataAndKeepsHoles) {
    TempDir dir;
    const SparseJoin join;
    ASSERT_TRUE(join.WriteHead(dir.File("target")));
    {
        Utils::FileHandle source = Utils::FileHandle::OpenWrite(dir.File("source"));
        ASSERT_TRUE(source.WriteAll(join.a.data(), join.a.size()));
        ASSERT_EQ(::pwrite(source.Native(), join.b.data(), join.b.size(), 4096 + SparseJoin::kGap), 777);
        ASSERT_EQ(::ftruncate(source.Native(), SparseJoin::kLength), 0);
    }
    Utils::FileHandle source = Utils::FileHandle::OpenRead(dir.File("source"));
    ASSERT_NO_FATAL_FAILURE(join.JoinAndCheck(dir.File("target"), source));
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("target").c_str(), &st), 0);
    EXPECT_LT(st.st_blocks * 512, int64_t{4} << 20) << "the hole was written out";
}

}  // namespace
