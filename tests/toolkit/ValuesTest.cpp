#include <gtest/gtest.h>

#include "toolkit/Label.h"
#include "toolkit/TextStyle.h"
#include "toolkit/Values.h"

using namespace Toolkit;

TEST(Values_Colors, AcceptsHashHexAndBareForms) {
    EXPECT_EQ(ParseColor(L"#FF2196F3"), 0xFF2196F3u);
    EXPECT_EQ(ParseColor(L"0xFFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseColor(L"FF235FE3"), 0xFF235FE3u);
    EXPECT_EQ(ParseColor(L"#26003B76"), 0x26003B76u);
    EXPECT_EQ(ParseColor(L"#FF0000"), 0x00FF0000u);  // RGB only: alpha 0
    EXPECT_EQ(ParseColor(L""), 0u);
    EXPECT_EQ(ParseColor(L"#zz"), 0u);
    EXPECT_EQ(ParseColor(L"#1FFFFFFFFF"), 0xFFFFFFFFu);  // saturates instead of wrapping
}

TEST(Values_Booleans, TrueOnlyForTrueInAnyCase) {
    EXPECT_TRUE(ParseBool(L"true"));
    EXPECT_TRUE(ParseBool(L"TRUE"));
    EXPECT_TRUE(ParseBool(L"True"));
    EXPECT_FALSE(ParseBool(L"1"));
    EXPECT_FALSE(ParseBool(L"yes"));
    EXPECT_FALSE(ParseBool(L" true"));
    EXPECT_FALSE(ParseBool(L""));
}

TEST(Values_Numbers, IntegersRectanglesAndSizes) {
    EXPECT_EQ(ParseInt(L"  -12px"), -12);
    EXPECT_EQ(ParseInt(L"x"), 0);
    EXPECT_EQ(ParseInt(L"99999999999"), 2147483647);
    EXPECT_EQ(ParseRect(L"1,2,3,4"), (Rect{1, 2, 3, 4}));
    EXPECT_EQ(ParseRect(L"1, 2"), (Rect{1, 2, 0, 0}));
    EXPECT_EQ(ParseSize(L"600,400"), (Size{600, 400}));
    EXPECT_EQ(ParseSize(L"7"), (Size{7, 0}));
    // Lengths stay within a bound that sums of many of them cannot overflow.
    EXPECT_EQ(ParseLength(L"7777777777"), kMaxLayoutLength);
    EXPECT_EQ(ParseLength(L"-7777777777"), -kMaxLayoutLength);
    EXPECT_EQ(ParseRect(L"7777777777,1,2,-2222222222"), (Rect{kMaxLayoutLength, 1, 2, -kMaxLayoutLength}));
    EXPECT_EQ(ParseSize(L"1,2222222222"), (Size{1, kMaxLayoutLength}));
}

TEST(Values_ImageDescriptor, PlainPathAndEveryProperty) {
    ImageDescriptor plain = ParseImageDescriptor(L"res\\mainWnd\\bg.png");
    EXPECT_EQ(plain.file, L"res\\mainWnd\\bg.png");
    EXPECT_FALSE(plain.hasDest);

    ImageDescriptor d = ParseImageDescriptor(
        L"file='res\\mainWnd\\installPrg1.png' dest='1,2,3,4' source='0,0,40,10' corner='4,4,4,4' mask='#FF0000' "
        L"fade='128' hole='TRUE' xtiled='true' ytiled='false' restype='PNG' bogus='x'");
    EXPECT_EQ(d.file, L"res\\mainWnd\\installPrg1.png");
    EXPECT_TRUE(d.hasDest);
    EXPECT_EQ(d.dest, (Rect{1, 2, 3, 4}));
    EXPECT_TRUE(d.hasSource);
    EXPECT_EQ(d.source, (Rect{0, 0, 40, 10}));
    EXPECT_EQ(d.corner, (Rect{4, 4, 4, 4}));
    EXPECT_TRUE(d.hasMask);
    EXPECT_EQ(d.mask & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(d.fade, 128);
    EXPECT_TRUE(d.hole);
    EXPECT_TRUE(d.xTiled);
    EXPECT_FALSE(d.yTiled);
    EXPECT_EQ(d.resType, L"PNG");

    // "res" names the file too; mask without '#'.
    ImageDescriptor r = ParseImageDescriptor(L"res='a.png' mask='FF00FF'");
    EXPECT_EQ(r.file, L"a.png");
    EXPECT_EQ(r.mask & 0xFFFFFF, 0xFF00FFu);
}

TEST(Values_ImageDescriptor, StopsAtFirstMalformedElement) {
    ImageDescriptor d = ParseImageDescriptor(L"file='a.png' fade='10' oops corner='1,1,1,1'");
    EXPECT_EQ(d.file, L"a.png");
    EXPECT_EQ(d.fade, 10);
    EXPECT_EQ(d.corner, (Rect{}));  // after the stop
    ImageDescriptor unterminated = ParseImageDescriptor(L"file='a.png' dest='1,2");
    EXPECT_EQ(unterminated.file, L"a.png");
    EXPECT_FALSE(unterminated.hasDest);
    EXPECT_EQ(ParseImageDescriptor(L"fade='300' file='x'").fade, 255);
}

TEST(TextStyle_Order, LaterAttributesUndoEarlierOnes) {
    CLabelUI a;  // label default: left, vcenter, single line
    a.SetAttribute(L"wordbreak", L"true");
    a.SetAttribute(L"valign", L"vcenter");
    EXPECT_FALSE(a.GetTextStyle().wordWrap);
    EXPECT_EQ(a.GetTextStyle().vAlign, VAlign::Center);

    CLabelUI b;
    b.SetAttribute(L"wordbreak", L"true");
    b.SetAttribute(L"valign", L"center");  // none of the three words: nothing changes
    EXPECT_TRUE(b.GetTextStyle().wordWrap);

    CLabelUI c;
    c.SetAttribute(L"valign", L"top");
    c.SetAttribute(L"WordBreak", L"TRUE");
    EXPECT_TRUE(c.GetTextStyle().wordWrap);
    EXPECT_EQ(c.GetTextStyle().vAlign, VAlign::Top);
    c.SetAttribute(L"wordbreak", L"yes");
    EXPECT_FALSE(c.GetTextStyle().wordWrap);
}

TEST(TextStyle_Words, PrecedenceWithinOneValue) {
    TextStyle s;
    ApplyAlign(s, L"left center");
    EXPECT_EQ(s.hAlign, HAlign::Center);
    ApplyAlign(s, L"center,right");
    EXPECT_EQ(s.hAlign, HAlign::Right);
    ApplyAlign(s, L"middle");
    EXPECT_EQ(s.hAlign, HAlign::Right);
    ApplyVAlign(s, L"top vcenter bottom");
    EXPECT_EQ(s.vAlign, VAlign::Bottom);
    ApplyVAlign(s, L"top vcenter");
    EXPECT_EQ(s.vAlign, VAlign::Center);
}
