#pragma once
// The join of a sparse part file, as both systems' tests check it: a target holding 5000 bytes
// of its own gets a source of data, a 64 MiB hole, data and a trailing hole appended, and must
// then hold exactly those bytes, the hole read as zeros. How the source's hole is made and
// whether the target's file system kept it are each system's own part of the test.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "download/FileOps.h"
#include "tests/download/DownloadTestSupport.h"

namespace DownloadTest {

struct SparseJoin {
    static constexpr int64_t kGap = int64_t{64} << 20;
    // The source's length: 4096 bytes of data, the hole, 777 bytes of data, a trailing hole.
    static constexpr int64_t kLength = 4096 + kGap + 777 + 100000;
    const std::string head = std::string(5000, 'h');
    const std::string a = std::string(4096, 'a');  // at 0 in the source
    const std::string b = std::string(777, 'b');   // at 4096 + kGap

    // Gives the target its own 5000 bytes.
    bool WriteHead(const std::string& target) const {
        Utils::FileHandle file = Utils::FileHandle::OpenWrite(target);
        return static_cast<bool>(file.WriteAll(head.data(), head.size()));
    }

    // Appends the whole source to the target and checks every byte of the result; use under
    // ASSERT_NO_FATAL_FAILURE.
    void JoinAndCheck(const std::string& target, Utils::FileHandle& source) const {
        {
            Utils::FileHandle file = Utils::FileHandle::OpenWrite(target);
            ASSERT_TRUE(Download::AppendFileData(file, 5000, source, kLength));
            ASSERT_TRUE(file.Close());
        }
        EXPECT_EQ(SizeOf(target), 5000 + kLength);
        const std::string joined = ReadFile(target);
        ASSERT_EQ(joined.size(), static_cast<size_t>(5000 + kLength));
        EXPECT_EQ(joined.substr(0, 5000), head);
        EXPECT_EQ(joined.substr(5000, 4096), a);
        EXPECT_EQ(joined.substr(5000 + 4096 + kGap, 777), b);
        EXPECT_EQ(joined.find_first_not_of('\0', 5000 + 4096), static_cast<size_t>(5000 + 4096 + kGap));
    }
};

}  // namespace DownloadTest
