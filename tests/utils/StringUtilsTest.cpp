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
    EXPECT_EQ(MultiByteToWide(WideToMultiByte(text, kCodePageUtf8), kCodePageUtf8), text);
    EXPECT_EQ(MultiByteToWide("\xC0\x80", kCodePageUtf8), L"");  // overlong NUL
    EXPECT_EQ(MultiByteToWide("ab\xFF", kCodePageUtf8), L"");
}

TEST(StringUtils_CodePages, InputStopsAtFirstZeroAndFailuresGiveEmpty) {
    EXPECT_EQ(MultiByteToWide(std::string("ab\0cd", 5), kCodePageUtf8), L"ab");
    EXPECT_EQ(WideToMultiByte(L"中", 1252), "");  // not representable
    EXPECT_EQ(MultiByteToWide("abc", 99999), L"");  // unknown code page
}

TEST(StringUtils_Utf8, DecodingReplacesBadBytesInsteadOfFailing) {
    EXPECT_EQ(FromUtf8("a\xFFz"), L"a\uFFFDz");
    EXPECT_TRUE(IsValidUtf8("\xE4\xB8\xAD"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));      // truncated
}

// The 2-byte wchar_t path (Windows) runs here through char16_t.
TEST(StringUtils_Utf16, CodePointsAboveTheBasicPlaneTravelAsSurrogatePairs) {
    EXPECT_EQ(Utf16FromUtf8("A\xF0\x9F\x98\x80\xE4\xB8\xAD"), std::u16string(u"A\xD83D\xDE00\x4E2D"));
    EXPECT_EQ(ToUtf8(std::u16string_view(u"A\xD83D\xDE00\x4E2D")), "A\xF0\x9F\x98\x80\xE4\xB8\xAD");
    EXPECT_EQ(Utf16FromUtf8("\xF4\x8F\xBF\xBF"), std::u16string(u"\xDBFF\xDFFF"));  // U+10FFFF
    const std::string mixed = "Quorvex \xE5\xAE\x89\xE8\xA3\x85 \xF0\x90\x80\x80 \xF0\x9F\x98\x80";
    EXPECT_EQ(ToUtf8(Utf16FromUtf8(mixed)), mixed);
}

TEST(StringUtils_Utf16, LoneOrReversedSurrogatesBecomeReplacementCharacters) {
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(ToUtf8(std::u16string(u"a\xD83D")), "a" + fffd);             // high at the end
    EXPECT_EQ(ToUtf8(std::u16string(u"\xD83Dz")), fffd + "z");             // high before a non-surrogate
    EXPECT_EQ(ToUtf8(std::u16string(u"\xDE00\xD83D")), fffd + fffd);       // low before high
    if constexpr (sizeof(wchar_t) == 4) {
        EXPECT_EQ(ToUtf8(std::wstring(L"\xD83D\xDE00")), fffd + fffd);  // UTF-32 has no pairs
    }
    EXPECT_EQ(Utf16FromUtf8("\xED\xA0\xBD"), std::u16string(u"\xFFFD\xFFFD\xFFFD"));  // encoded surrogate
}

TEST(StringUtils_Case, ComparesAsciiWithoutCase) {
    EXPECT_TRUE(EqualsNoCase(L"Install", L"iNSTALL"));
    EXPECT_FALSE(EqualsNoCase(L"Install", L"Instal"));
    EXPECT_EQ(AsciiLower(std::string("AbC-Ä")), "abc-Ä");
}
