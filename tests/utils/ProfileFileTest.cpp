#include <gtest/gtest.h>

#include <string>

#include "tests/support/TempDir.h"
#include "utils/ProfileFile.h"
#include "utils/ProfileUpdate.h"
#include "utils/StringUtils.h"

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

TEST(ProfileFile_Write, RefusesTextThatWouldBreakTheFile) {
    TempDir dir;
    const auto f = dir.Write("a.ini", "[s]\nk=v\n");
    EXPECT_FALSE(WriteProfileString(L"s", L"k", L"two\nlines", f));
    EXPECT_FALSE(WriteProfileString(L"s", L"a=b", L"v", f));
    EXPECT_FALSE(WriteProfileString(L"s", L"[x", L"v", f));
    EXPECT_FALSE(WriteProfileString(L"s", L"  ", L"v", f));
    EXPECT_EQ(ReadFile(f), "[s]\nk=v\n");
}

TEST(ProfileFile_Edit, RemoveDropsEveryLineOfTheKey) {
    auto p = ProfileFile::Parse("[s]\nk=1\nK=2\nj=3");
    EXPECT_TRUE(p.Remove(L"S", L"k"));
    EXPECT_FALSE(p.Remove(L"s", L"k"));
    EXPECT_EQ(p.Serialize(), "[s]\nj=3");
}

TEST(ProfileFile_Read, IntegersReadTheirLeadingDigits) {
    const auto p = [](const char* v) {
        TempDir dir;
        return GetProfileInt(L"s", L"k", -7, dir.Write("a.ini", std::string("[s]\nk=") + v + "\n"));
    };
    EXPECT_EQ(p("42abc"), 42);
    EXPECT_EQ(p("-5"), -5);
    EXPECT_EQ(p("0x1F"), 31);
    EXPECT_EQ(p("  12"), 12);
    EXPECT_EQ(p(""), -7);  // an empty value is no value
    EXPECT_EQ(p("\"\""), -7);
    EXPECT_EQ(p("4294967295"), -1);  // read as a 32-bit unsigned number
    TempDir dir;
    EXPECT_EQ(GetProfileInt(L"s", L"k", -7, dir / "missing.ini"), -7);
}

// The module's own read (GetProfileInt on Linux, ProfileFile's users on both systems), beyond
// the cases above that the system's read shares: out-of-range values wrap as a 32-bit unsigned
// conversion does.
TEST(ProfileFile_Read, IntegersWrapAndTakeEitherHexPrefix) {
    const auto p = [](const char* v) {
        return ProfileFile::Parse(std::string("[s]\nk=") + v + "\n").GetInt(L"s", L"k", -7);
    };
    EXPECT_EQ(p("abc"), 0);
    EXPECT_EQ(p("0X1f"), 31);     // upper-case prefix too
    EXPECT_EQ(p("\" 12\""), 12);  // blanks left inside the quotes are skipped
    EXPECT_EQ(p("' \t-3'"), -3);
    EXPECT_EQ(p("99999999999999999999"), 1661992959);
    EXPECT_EQ(p("2147483648"), -2147483647 - 1);
    EXPECT_EQ(p("-2147483649"), 2147483647);
    EXPECT_EQ(p("0x100000001"), 1);
}

TEST(ProfileFile_Write, KeepsEveryOtherLineAndReplacesInPlace) {
    TempDir dir;
    const auto f = dir.Write("a.ini", "; keep me\n[A]\nx=1\n\n[B]\ny=2\n");
    ASSERT_TRUE(WriteProfileString(L"a", L"X", L"10", f));
    ASSERT_TRUE(WriteProfileString(L"A", L"z", L"3", f));
    ASSERT_TRUE(WriteProfileString(L"C", L"w", L"new section", f));
    EXPECT_EQ(GetProfileString(L"A", L"x", L"", 260, f), L"10");
    EXPECT_EQ(GetProfileString(L"a", L"Z", L"", 260, f), L"3");
    EXPECT_EQ(GetProfileString(L"B", L"y", L"", 260, f), L"2");
    EXPECT_EQ(GetProfileString(L"c", L"w", L"", 260, f), L"new section");
    const std::string text = AsciiLower(ReadFile(f));
    EXPECT_EQ(text.find("; keep me"), 0u) << text;
    size_t keys = 0;  // replaced, not added
    for (size_t at = text.find("x="); at != std::string::npos; at = text.find("x=", at + 1)) ++keys;
    EXPECT_EQ(keys, 1u) << text;
}

TEST(ProfileFile_Write, CreatesFileAndSectionAndLeavesNoTemporaryFiles) {
    TempDir dir;
    const auto f = dir / "new.ini";
    ASSERT_TRUE(WriteProfileString(L"Init", L"UpdateTime", L"2026-12-09 06:00:00", f));
    EXPECT_EQ(GetProfileString(L"Init", L"UpdateTime", L"", 260, f), L"2026-12-09 06:00:00");
    ASSERT_TRUE(UpdateProfileFile(f, [](ProfileFile& p) { return p.Set(L"Init", L"Other", L"1"); }));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_FALSE(WriteProfileString(L"s", L"k", L"v", dir / "missing-folder" / "a.ini"));
}

// The module's own edits (several keys at once) and the system's calls meet in one file: each
// sees what the other wrote, and a refused change leaves no trace.
TEST(ProfileFile_Update, MixesWithTheSystemCallsOnOneFile) {
    TempDir dir;
    const auto f = dir / "state.ini";
    ASSERT_TRUE(UpdateProfileFile(f, [](ProfileFile& p) { return p.Set(L"Base", L"DistinctId", L"abc") && p.Set(L"Base", L"URL", L"http://h/c"); }));
    ASSERT_TRUE(WriteProfileString(L"base", L"UserId", L"u1", f));
    ASSERT_TRUE(UpdateProfileFile(f, [](ProfileFile& p) { return p.Set(L"UninstallInfo", L"AppName", L"Quorvex"); }));
    EXPECT_EQ(GetProfileString(L"Base", L"DistinctId", L"", 128, f), L"abc");
    EXPECT_EQ(GetProfileString(L"Base", L"URL", L"", 128, f), L"http://h/c");
    EXPECT_EQ(GetProfileString(L"Base", L"userid", L"", 128, f), L"u1");
    EXPECT_EQ(ProfileFile::Load(f).Get(L"UninstallInfo", L"AppName"), L"Quorvex");

    const std::string before = ReadFile(f);
    EXPECT_FALSE(UpdateProfileFile(f, [](ProfileFile& p) { p.Set(L"Base", L"UserId", L"u2"); return false; }));
    EXPECT_EQ(ReadFile(f), before);
    EXPECT_FALSE(UpdateProfileFile(dir / "never.ini", [](ProfileFile&) { return false; }));
    EXPECT_FALSE(std::filesystem::exists(dir / "never.ini"));
}
