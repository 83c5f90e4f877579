// The Content-Range reader a ranged part relies on before it appends a body.
#include <gtest/gtest.h>

#include "download/ContentRange.h"

using Download::ContentRangeStart;

TEST(ContentRange, ReadsTheFirstPositionOfAByteRange) {
    EXPECT_EQ(ContentRangeStart("Content-Range: bytes 10485760-20971519/20971520\r\n"), 10485760);
    EXPECT_EQ(ContentRangeStart("content-range:bytes 0-9/10"), 0);
    EXPECT_EQ(ContentRangeStart("CONTENT-RANGE: \tBYTES  7-9/*"), 7);
    EXPECT_EQ(ContentRangeStart("Content-Range: bytes 9223372036854775807-9223372036854775807/*"),
              INT64_C(9223372036854775807));
}

TEST(ContentRange, RefusesWhatStatesNoUsablePosition) {
    EXPECT_EQ(ContentRangeStart("Content-Length: 10"), -1);
    EXPECT_EQ(ContentRangeStart("Content-Range: bytes */100"), -1);     // unsatisfied range
    EXPECT_EQ(ContentRangeStart("Content-Range: bytes -5-9/10"), -1);    // no sign allowed
    EXPECT_EQ(ContentRangeStart("Content-Range: bytes 5"), -1);          // no end position
    EXPECT_EQ(ContentRangeStart("Content-Range: items 0-9/10"), -1);     // another unit
    EXPECT_EQ(ContentRangeStart("Content-Range: bytes 99999999999999999999-1/2"), -1);  // overflow
    EXPECT_EQ(ContentRangeStart("Content-Range:"), -1);
    EXPECT_EQ(ContentRangeStart(""), -1);
}
