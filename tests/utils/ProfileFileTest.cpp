#include <gtest/gtest.h>

#include <sys/stat.h>

#include "tests/support/TempDir.h"
#include "utils/ProfileFile.h"

using namespace Utils;
using testsupport::ReadFile;
using testsupport::TempDir;

TEST(ProfileFile_Read, SectionsAndKeysIgnoreCaseAndFirstKeyWins) {
    TempDir dir;
    const auto f = dir.Write("a.ini", "; comment\n[Install]\nDownloadType = 3\ndownloadtype=2\n[Other]\nx=1\n");
    EXPECT_EQ(GetProfileString(L"install", L"DOWNLOADTYPE", L"", 260, f), L"3");
    EXPECT_EQ(GetProfileInt(L"INSTALL", L"DownloadType", 1, f), 3);
    EXPECT_EQ(GetProfileString(L"Other", L"missing", L"fb", 260, f), L"fb");
    EXPECT_EQ(GetProfileString(L"Nope", L"x", L"fb", 260, f), L"fb");
}

TEST(ProfileFile_Read, ValuesLoseBlanksAndOnePairOfQuotes) {
    const auto p = ProfileFile::Parse("\xEF\xBB\xBF[s]\r\na =  \"  padded \"  \r\nb='x'\r\nc=\"unbalanced\r\nd=\"\"q\"\"\r\ne=\r\n");
    EXPECT_EQ(p.Get(L"s", L"a"), L"  padded ");
    EXPECT_EQ(p.Get(L"s", L"b"), L"x");
    EXPECT_EQ(p.Get(L"s", L"c"), L"\"unbalanced");
    EXPECT_EQ(p.Get(L"s", L"d"), L"\"q\"");
    EXPECT_EQ(p.Get(L"s", L"e"), L"");
}

TEST(ProfileFile_Read, BufferLengthCutsValuesAndFallbacks) {
    TempDir dir;
    const auto f = dir.Write("a.ini", "[s]\nk=" + std::string(300, 'v') + "\n");
    EXPECT_EQ(GetProfileString(L"s", L"k", L"", 260, f).size(), 259u);
    EXPECT_EQ(GetProfileString(L"s", L"k", L"", 1, f), L"");
    EXPECT_EQ(GetProfileString(L"s", L"none", L"abcdef", 4, f), L"abc");
    EXPECT_EQ(GetProfileString(L"s", L"k", L"", 0, f), L"");
}

TEST(ProfileFile_Read, IntegersReadTheirLeadingDigits) {
    const auto p = [](const char* v) {
        TempDir dir;
        return GetProfileInt(L"s", L"k", -7, dir.Write("a.ini", std::string("[s]\nk=") + v + "\n"));
    };
    EXPECT_EQ(p("42abc"), 42);
    EXPECT_EQ(p("-5"), -5);
    EXPECT_EQ(p("0x1F"), 31);
    EXPECT_EQ(p("abc"), 0);
    EXPECT_EQ(p(""), 0);
    EXPECT_EQ(p("99999999999999999999"), 2147483647);
    TempDir dir;
    EXPECT_EQ(GetProfileInt(L"s", L"k", -7, dir / "missing.ini"), -7);
}

TEST(ProfileFile_Write, KeepsEveryOtherLineAndReplacesInPlace) {
    TempDir dir;
    const auto f = dir.Write("a.ini", "; keep me\n[A]\nx=1\n\n[B]\ny=2\n");
    ASSERT_TRUE(WriteProfileString(L"a", L"X", L"10", f));
    ASSERT_TRUE(WriteProfileString(L"A", L"z", L"3", f));
    ASSERT_TRUE(WriteProfileString(L"C", L"w", L"中文", f));
    EXPECT_EQ(ReadFile(f), "; keep me\n[A]\nX=10\nz=3\n\n[B]\ny=2\n\n[C]\nw=中文\n");
}

TEST(ProfileFile_Write, CreatesFileAndSectionAndLeavesNoTemporaryFiles) {
    TempDir dir;
    const auto f = dir / "new.ini";
    ASSERT_TRUE(WriteProfileString(L"Init", L"UpdateTime", L"2026-12-09 06:00:00", f));
    EXPECT_EQ(ReadFile(f), "[Init]\nUpdateTime=2026-12-09 06:00:00\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(ProfileFile_Write, RefusesTextThatWouldBreakTheFile) {
    TempDir dir;
    const auto f = dir.Write("a.ini", "[s]\nk=v\n");
    EXPECT_FALSE(WriteProfileString(L"s", L"k", L"two\nlines", f));
    EXPECT_FALSE(WriteProfileString(L"s", L"a=b", L"v", f));
    EXPECT_FALSE(WriteProfileString(L"s", L"[x", L"v", f));
    EXPECT_FALSE(WriteProfileString(L"s", L"  ", L"v", f));
    EXPECT_EQ(ReadFile(f), "[s]\nk=v\n");
}

TEST(ProfileFile_Write, NeverReplacesAFileItCannotRead) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads any file";
    TempDir dir;
    const auto f = dir.Write("a.ini", "[s]\nprecious=1\n");
    chmod(f.c_str(), 0200);
    EXPECT_FALSE(WriteProfileString(L"s", L"k", L"v", f));
    chmod(f.c_str(), 0600);
    EXPECT_EQ(ReadFile(f), "[s]\nprecious=1\n");
}

TEST(ProfileFile_Write, KeepsTheModeOfAnExistingFile) {
    TempDir dir;
    const auto f = dir.Write("a.ini", "[s]\n");
    chmod(f.c_str(), 0640);
    ASSERT_TRUE(WriteProfileString(L"s", L"k", L"v", f));
    struct stat st{};
    stat(f.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(ProfileFile_Edit, RemoveDropsEveryLineOfTheKey) {
    auto p = ProfileFile::Parse("[s]\nk=1\nK=2\nj=3");
    EXPECT_TRUE(p.Remove(L"S", L"k"));
    EXPECT_FALSE(p.Remove(L"s", L"k"));
    EXPECT_EQ(p.Serialize(), "[s]\nj=3");
}
