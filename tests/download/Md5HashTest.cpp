// The download engine's MD5: the platform's crypto library behind one interface, fed in pieces of
// any size, and files found by the engine's own narrow paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "download/Md5Hash.h"
#include "download/UrlDigest.h"
#include "tests/download/DownloadTestSupport.h"

using namespace DownloadTest;

namespace {

std::string Md5(const std::string& data) {
    Download::Md5Hash md5;
    EXPECT_TRUE(md5.Ok());
    EXPECT_TRUE(md5.Update(data.data(), data.size()));
    return md5.FinishHex();
}

TEST(Md5Hash, KnownDigestsInOnePieceOrMany) {
    EXPECT_EQ(Md5(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5("The quick brown fox jumps over the lazy dog"), "9e107d9d372bb6826bd81d3542a419d6");
    // Pieces that cut across the 64-byte blocks give the digest of the whole.
    std::string data;
    for (int i = 0; i < 100000; ++i) data += static_cast<char>(i * 7 + (i >> 8));
    Download::Md5Hash pieces;
    for (size_t at = 0, step = 1; at < data.size(); at += step, step = step * 3 % 1000 + 1)
        ASSERT_TRUE(pieces.Update(data.data() + at, std::min(step, data.size() - at)));
    EXPECT_EQ(pieces.FinishHex(), Md5(data));
}

TEST(Md5Hash, FinishedHashTakesNoMoreData) {
    Download::Md5Hash md5;
    ASSERT_TRUE(md5.Update("abc", 3));
    EXPECT_EQ(md5.FinishHex(), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_FALSE(md5.Update("d", 1));
    EXPECT_EQ(md5.FinishHex(), "");
}

TEST(Md5Hash, FileDigestUnderANonAsciiFolder) {
    // The engine names files in UTF-8 on Windows: a digest taken through the ANSI code page
    // would find no file there and turn a good package into a digest failure.
    TempDir dir;
    const std::string folder = dir.File("\xc3\xa9\xe4\xb8\xad\xd0\x96");
    ASSERT_TRUE(std::filesystem::create_directory(NativePath(folder)));
    const std::string file = folder + "/pkg.bin";
    WriteRandomFile(file, (3 << 20) + 17, 41);
    const std::string expected = Md5(ReadFile(file));
    EXPECT_EQ(Download::FileMd5Hex(file), expected);
    EXPECT_EQ(Download::CheckFileDigest("http://h/" + expected + "/pkg.bin", file), Download::DigestCheck::Match);
    EXPECT_EQ(Download::CheckFileDigest("http://h/" + std::string(32, '0') + "/pkg.bin", file),
              Download::DigestCheck::Mismatch);
}

TEST(Md5Hash, FileDigestOfNothingReadableIsEmpty) {
    TempDir dir;
    EXPECT_EQ(Download::FileMd5Hex(""), "");
    EXPECT_EQ(Download::FileMd5Hex(dir.File("missing")), "");
    EXPECT_EQ(Download::FileMd5Hex(dir.Path()), "");
    WriteRandomFile(dir.File("empty"), 0, 1);
    EXPECT_EQ(Download::FileMd5Hex(dir.File("empty")), "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace
