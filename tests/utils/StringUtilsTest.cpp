#include <gtest/gtest.h>

#include "utils/StringUtils.h"

using namespace Utils;

TEST(StringUtils_Trim, RemovesBlanksAtBothEndsOnly) {
    EXPECT_EQ(Trim(std::wstring(L" \t a b \r\n")), L"a b");
    EXPECT_EQ(Trim(std::wstring(L"   ")), L"");
    EXPECT_EQ(Trim(std::wstring(L"")), L"");
    EXPECT_EQ(Trim(std::string("  State=0 \r")), "State=0");
}

TEST(StringUtils_ReplaceAll, ReplacesEveryOccurrence) {
    EXPECT_EQ(ReplaceAll(L"a/${ROUTE}/b/${ROUTE}", L"${ROUTE}", L"x"), L"a/x/b/x");
    EXPECT_EQ(ReplaceAll(L"none", L"${ROUTE}", L"x"), L"none");
    EXPECT_EQ(ReplaceAll(L"abc", L"", L"x"), L"abc");
}

TEST(StringUtils_ReplaceAll, ReplacementContainingPatternTerminates) {
    // A naive restart-from-the-beginning loop never ends here.
    EXPECT_EQ(ReplaceAll(L"aXa", L"a", L"aa"), L"aaXaa");
}

TEST(StringUtils_CodePages, Cp936BytesDecodeToChinese) {
    // "安装成功" in GBK.
    const std::string gbk = "\xB0\xB2\xD7\xB0\xB3\xC9\xB9\xA6";
    EXPECT_EQ(MultiByteToWide(gbk, 936), L"安装成功");
    EXPECT_EQ(WideToMultiByte(L"安装成功", 936), gbk);
}

TEST(StringUtils_CodePages, Utf8RoundTripsAndRejectsMalformedInput) {
    const std::wstring text = L"Quorvex 安装 \U0001F600";
    EXPECT_EQ(MultiByteToWide(WideToMultiByte(text, CP_UTF8), CP_UTF8), text);
    EXPECT_EQ(MultiByteToWide("\xC0\x80", CP_UTF8), L"");  // overlong NUL
    EXPECT_EQ(MultiByteToWide("ab\xFF", CP_UTF8), L"");
}

TEST(StringUtils_CodePages, InputStopsAtFirstZeroAndFailuresGiveEmpty) {
    EXPECT_EQ(MultiByteToWide(std::string("ab\0cd", 5), CP_UTF8), L"ab");
    EXPECT_EQ(WideToMultiByte(L"中", 1252), "");  // not representable
    EXPECT_EQ(MultiByteToWide("abc", 99999), L"");  // unknown code page
}

TEST(StringUtils_Utf8, DecodingReplacesBadBytesInsteadOfFailing) {
    EXPECT_EQ(FromUtf8("a\xFFz"), L"a\uFFFDz");
    EXPECT_TRUE(IsValidUtf8("\xE4\xB8\xAD"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));      // truncated
}

TEST(StringUtils_Case, ComparesAsciiWithoutCase) {
    EXPECT_TRUE(EqualsNoCase(L"Install", L"iNSTALL"));
    EXPECT_FALSE(EqualsNoCase(L"Install", L"Instal"));
    EXPECT_EQ(AsciiLower(std::string("AbC-Ä")), "abc-Ä");
}
