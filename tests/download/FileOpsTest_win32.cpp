// The Windows side of the file helpers: paths travel as UTF-8 whatever the ANSI code page, and
// the join copies a sparse part file's allocated ranges only (where the file system keeps holes).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "download/FileOps.h"
#include "tests/download/DownloadTestSupport.h"
#include "tests/download/SparseJoin.h"
#include "utils/WindowsApi_win32.h"

#include <winioctl.h>

using namespace DownloadTest;

namespace {

bool WriteAt(Utils::FileHandle& file, const std::string& data, int64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    return WriteFile(static_cast<HANDLE>(file.Native()), data.data(), static_cast<DWORD>(data.size()), &written,
                     &at) &&
           written == data.size();
}

bool MakeSparse(Utils::FileHandle& file) {
    DWORD ignored = 0;
    return DeviceIoControl(static_cast<HANDLE>(file.Native()), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored,
                           nullptr) != 0;
}

// Bytes the file system has allocated for the file; -1 when it cannot say.
int64_t AllocatedBytes(const std::string& path) {
    DWORD high = 0;
    const DWORD low = GetCompressedFileSizeW(Wide(path).c_str(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
    return (static_cast<int64_t>(high) << 32) | low;
}

TEST(FileOpsWin32, NarrowPathIsUtf8WhateverTheCodePage) {
    EXPECT_EQ(Download::NarrowPath(L"C:\\Temp\\\u00e9\u4e2d\\pkg.exe"), "C:\\Temp\\\xc3\xa9\xe4\xb8\xad\\pkg.exe");
    // A folder no ANSI code page can name holds a file the helpers still open.
    TempDir dir;
    const std::string folder = dir.File("\xc3\xa9\xe4\xb8\xad\xd0\x96");
    ASSERT_TRUE(std::filesystem::create_directory(NativePath(folder)));
    const std::string path = Download::NarrowPath(Wide(folder + "/pkg.bin"));
    {
        Utils::FileHandle file = Utils::FileHandle::OpenWrite(path);
        ASSERT_TRUE(file.IsOpen());
        ASSERT_TRUE(file.WriteAll("abc", 3));
    }
    EXPECT_EQ(ReadFile(folder + "/pkg.bin"), "abc");
}

TEST(FileOpsWin32, AppendFileData_CopiesTheDataOfASparseSource) {
    TempDir dir;
    const SparseJoin join;
    ASSERT_TRUE(join.WriteHead(dir.File("target")));
    bool sparse = false;
    {
        Utils::FileHandle source = Utils::FileHandle::OpenWrite(dir.File("source"));
        sparse = MakeSparse(source);
        ASSERT_TRUE(WriteAt(source, join.a, 0));
        ASSERT_TRUE(WriteAt(source, join.b, 4096 + SparseJoin::kGap));
        ASSERT_TRUE(source.Truncate(SparseJoin::kLength));
    }
    Utils::FileHandle source = Utils::FileHandle::OpenRead(dir.File("source"));
    ASSERT_NO_FATAL_FAILURE(join.JoinAndCheck(dir.File("target"), source));
    // Where the file system keeps holes (NTFS), the target keeps them too.
    const int64_t allocated = AllocatedBytes(dir.File("target"));
    if (sparse && allocated >= 0 && AllocatedBytes(dir.File("source")) < SparseJoin::kGap) {
        EXPECT_LT(allocated, int64_t{4} << 20) << "the hole was written out";
    }
    // A source shorter than the range asked for is a failure, sparse or not.
    Utils::FileHandle other = Utils::FileHandle::OpenWrite(dir.File("other"));
    EXPECT_FALSE(Download::AppendFileData(other, 0, source, SparseJoin::kLength + 1));
}

}  // namespace
